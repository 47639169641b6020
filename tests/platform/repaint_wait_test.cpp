#include "platform/repaint_wait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <thread>

namespace {

/** A window that counts its paints. */
class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class RepaintWait : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qApp) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "repaint_wait_test";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    void SetUp() override
    {
        m_window.resize(100, 100);
        m_window.show();
        QApplication::processEvents();
    }

    CountingWidget m_window;
};

} // namespace

TEST_F(RepaintWait, WindowsRepaintWhileTimersAndClosesWaitForTheEnd)
{
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    QCoreApplication::postEvent(&m_window, new QCloseEvent);

    int asks = 0;
    int paintsBefore = m_window.paints;
    int ticksSeen = -1;
    bool visibleDuring = false;
    platform::waitRepaintingOnly([&](std::chrono::milliseconds timeout) {
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(5)));
        if (asks == 0)
            paintsBefore = m_window.paints;
        m_window.update(); // the work's progress shows
        ticksSeen = ticks;
        visibleDuring = m_window.isVisible();
        return ++asks == 6;
    });
    EXPECT_GT(m_window.paints, paintsBefore); // painted while the wait lasted
    EXPECT_EQ(ticksSeen, 0); // no timer ran meanwhile, though several were due
    EXPECT_TRUE(visibleDuring);
    EXPECT_FALSE(m_window.isVisible()); // the close asked for meanwhile is carried out at the end

    // The due timer fires afterwards, once, and goes on as before.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 5000));
}

TEST_F(RepaintWait, APostedCallRunsOnlyOnceTheWorkIsDone)
{
    bool done = false;
    bool ranBeforeTheEnd = false;
    bool ran = false;
    QMetaObject::invokeMethod(
        &m_window,
        [&] {
            ran = true;
            ranBeforeTheEnd = !done;
        },
        Qt::QueuedConnection);
    int asks = 0;
    platform::waitRepaintingOnly([&](std::chrono::milliseconds) {
        done = ++asks >= 4;
        return done;
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(ranBeforeTheEnd);
}
