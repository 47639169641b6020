#include "platform/show_timer.h"
#include "support/scripted_dialogs.h"
#include "support/widget_application.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

class ShowTimerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::ensureWidgetApplication(); }

    void SetUp() override
    {
        m_timer.onTick = [this] { ++m_ticks; };
    }

    platform::ShowTimer m_timer;
    int m_ticks = 0;
};

} // namespace

TEST_F(ShowTimerTest, StartsDisabledWithOneSecondAndRestartsOnlyOnRealChanges)
{
    EXPECT_FALSE(m_timer.isEnabled());
    EXPECT_EQ(m_timer.interval(), 1000u);
    EXPECT_FALSE(m_timer.isTiming());
    m_timer.setEnabled(true);
    EXPECT_TRUE(m_timer.isTiming());
    const auto* qtTimer = m_timer.findChild<QTimer*>();
    ASSERT_NE(qtTimer, nullptr);
    EXPECT_EQ(qtTimer->timerType(), Qt::PreciseTimer);
    // The same interval and a second enable leave the running period alone: what remains keeps shrinking.
    EXPECT_TRUE(QTest::qWaitFor([&] { return qtTimer->remainingTime() < 950; }, 2000));
    m_timer.setInterval(1000);
    m_timer.setEnabled(true);
    EXPECT_LT(qtTimer->remainingTime(), 950);
    // A new interval starts a new period.
    m_timer.setInterval(2000);
    EXPECT_GT(qtTimer->remainingTime(), 1950);
    EXPECT_EQ(qtTimer->interval(), 2000);
    m_timer.setEnabled(false);
    EXPECT_FALSE(m_timer.isTiming());
    EXPECT_EQ(m_timer.interval(), 2000u) << "disabling keeps the interval";
    m_timer.setEnabled(true);
    EXPECT_GT(qtTimer->remainingTime(), 1950) << "disabled to enabled starts a new period";
}

TEST_F(ShowTimerTest, AZeroIntervalNeverTicksAndLongOnesAreChained)
{
    m_timer.setInterval(0);
    m_timer.setEnabled(true);
    EXPECT_TRUE(m_timer.isEnabled());
    EXPECT_FALSE(m_timer.isTiming());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_ticks, 0);
    m_timer.setInterval(4294966296u);
    EXPECT_TRUE(m_timer.isTiming());
    EXPECT_EQ(m_timer.findChild<QTimer*>()->interval(), INT_MAX);

    const struct {
        std::uint32_t interval;
        std::vector<std::uint32_t> pieces;
    } cases[] = {
        {0, {}},
        {1, {1}},
        {INT_MAX, {INT_MAX}},
        {2147483648u, {INT_MAX, 1}},
        {4294967295u, {INT_MAX, INT_MAX, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::timerPieces(c.interval), c.pieces) << c.interval;
}

TEST_F(ShowTimerTest, TicksGoOnInsideANestedLoopThatATickOpened)
{
    int nestedTicks = 0;
    bool inBox = false;
    m_timer.onTick = [&] {
        ++m_ticks;
        if (inBox) {
            ++nestedTicks;
            return;
        }
        // As a message box would: a nested loop that runs until three more ticks came.
        inBox = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return nestedTicks >= 3; }, 5000));
        inBox = false;
        m_timer.setEnabled(false);
    };
    m_timer.setInterval(10);
    m_timer.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_timer.isEnabled(); }, 5000));
    EXPECT_GE(nestedTicks, 3);
}

TEST_F(ShowTimerTest, ATickThatFailsIsReportedAndADisabledTimerDropsItsPendingTick)
{
    auto dialogs = std::make_unique<testing_support::ScriptedDialogs>();
    const testing_support::ScriptedDialogs& boxes = *dialogs;
    platform::installDialogs(std::move(dialogs));
    int ticks = 0;
    m_timer.onTick = [&] {
        ++ticks;
        throw std::runtime_error("tick failed");
    };
    m_timer.setInterval(5);
    m_timer.setEnabled(true);
    // The guard catches each failure and the timer goes on.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
    m_timer.setEnabled(false);
    const int seen = ticks;
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, seen);
    ASSERT_EQ(boxes.records().size(), std::size_t(seen));
    EXPECT_EQ(boxes.records().front().text, u"tick failed.");
    platform::installDialogs(nullptr);
}
