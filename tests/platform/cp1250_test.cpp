#include "platform/cp1250.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Cp1250, EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = cp1250::decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(cp1250::encode(text), all);
}

TEST(Cp1250, PolishLettersUseTheirBytes)
{
    const QByteArray bytes = cp1250::encode(QStringLiteral("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ"));
    EXPECT_EQ(
        bytes, QByteArray("Za\xBF\xF3\xB3\xE6 g\xEA\x9C\x6C\xB9 ja\x9F\xF1 \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"));
    EXPECT_EQ(cp1250::decode(bytes), QStringLiteral("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ"));
}

TEST(Cp1250, UndefinedBytesMapToC1Controls)
{
    for (const int b : {0x81, 0x83, 0x88, 0x90, 0x98})
        EXPECT_EQ(cp1250::toUnicode(static_cast<std::uint8_t>(b)), char16_t(b));
}

TEST(Cp1250, UnmappableCharactersBecomeQuestionMarksWithoutBestFit)
{
    // No best fit: the empty-set sign must not turn into a Czech letter, nor an accented A into a plain one.
    EXPECT_EQ(cp1250::encode(QStringLiteral("∞∅À€")), QByteArray("???\x80"));
    EXPECT_EQ(cp1250::encode(QString::fromUcs4(U"\U0001F600")), QByteArray("?"));
}

TEST(Cp1250, DecomposedLettersAreComposedFirst)
{
    EXPECT_EQ(cp1250::encode(QStringLiteral("a\u0328")), QByteArray("\xB9"));
}
