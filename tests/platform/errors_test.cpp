#include "platform/errors.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(ToInt, AcceptsDecimalAndHexadecimalForms)
{
    EXPECT_EQ(toInt(QStringLiteral("010")), 10);
    EXPECT_EQ(toInt(QStringLiteral("  -632")), -632);
    EXPECT_EQ(toInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(toInt(QStringLiteral("$FF")), 255);
    EXPECT_EQ(toInt(QStringLiteral("0x10")), 16);
    EXPECT_EQ(toInt(QStringLiteral("x1f")), 31);
    EXPECT_EQ(toInt(QStringLiteral("-2147483648")), -2147483648LL);
    EXPECT_EQ(toInt(QStringLiteral("$FFFFFFFF")), -1);
}

TEST(ToInt, RejectsOtherTextWithTheConversionMessage)
{
    for (const char* bad : {"", " ", "lblLewa", "12 ", "1.5", "2147483648", "0x", "-", "$1FFFFFFFF"}) {
        try {
            (void)toInt(QString::fromLatin1(bad));
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(QString::fromLatin1(bad)));
        }
    }
    EXPECT_EQ(toIntDef(QStringLiteral("true"), 42), 42);
}

TEST(IoErrorMessage, CarriesCodeSystemMessageAndPath)
{
    const IoError error(2, QStringLiteral("/x/y.jpg"));
    EXPECT_EQ(error.errorCode(), 2);
    EXPECT_EQ(error.message(), QStringLiteral("I/O error 2 (No such file or directory): /x/y.jpg"));
}
