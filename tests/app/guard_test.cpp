#include "windows_fixture.h"

#include "platform/errors.h"
#include "platform/guard.h"

#include <stdexcept>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

TEST_F(WindowsTest, AnyErrorLeavingAHandlerGoesToTheDefaultReportAndNoFurther)
{
    EXPECT_FALSE(platform::guarded([] { throw platform::AppError(QStringLiteral("Nie można")); }));
    EXPECT_FALSE(platform::guarded([] { throw std::runtime_error("plain failure!"); }));
    EXPECT_FALSE(platform::guarded([] { throw 42; }));
    EXPECT_TRUE(platform::guarded([] {}));
    EXPECT_EQ(dialogTexts(Kind::Report), (QStringList {u"Nie można."_s, u"plain failure!"_s, u"Unknown error."_s}));
}

TEST_F(WindowsTest, AnErrorInsideTheReportItselfDoesNotEscape)
{
    m_dialogs->whileOpen = [](const testing_support::DialogRecord&) { throw std::runtime_error("box failed"); };
    EXPECT_FALSE(platform::guarded([] { throw platform::AppError(QStringLiteral("first")); }));
    m_dialogs->whileOpen = nullptr;
}
