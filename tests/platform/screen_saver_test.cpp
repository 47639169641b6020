#include "platform/screen_saver.h"
#include "support/widget_application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

/** The test's own screen saver service, on its own thread: Inhibit gives cookies from 41 on; every call is noted. */
class StandInScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public slots: // called over the bus only, so always on the stand-in's thread
    uint Inhibit(const QString& application, const QString&)
    {
        m_calls << u"Inhibit %1 %2"_s.arg(objectName(), application);
        return m_nextCookie++;
    }
    void UnInhibit(uint cookie) { m_calls << u"UnInhibit %1 %2"_s.arg(objectName()).arg(cookie); }
    QStringList Calls() { return m_calls; }

private:
    QStringList m_calls;
    uint m_nextCookie = 41;
};

struct InhibitCase {
    const char* name;
    const char* object; // where the stand-in answers; nullptr: no screen saver service on the bus
    // Steps, each with the number of calls noted once it is answered: H hold, L let go, R let go and hold again
    // at once (a show that restarts), E end of the program.
    const char* steps;
    QStringList calls;
};

void PrintTo(const InhibitCase& c, std::ostream* os)
{
    *os << c.name;
}

// A private session bus (`dbus-daemon --session`) for each case, with the stand-in on it.
class ScreenSaverInhibit : public testing::TestWithParam<InhibitCase> {
protected:
    static void SetUpTestSuite() { testing_support::ensureWidgetApplication(); }

    void SetUp() override
    {
        // The bus's socket goes into a folder of the test's own, which is removed with it.
        m_daemon.start(u"dbus-daemon"_s,
            {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s, u"--address=unix:dir="_s + m_socketDir.path()});
        ASSERT_TRUE(m_daemon.waitForReadyRead(10000)) << "no dbus-daemon (scripts/install-deps.sh installs it)";
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_client = QDBusConnection::connectToBus(address, u"client"_s);
        QDBusConnection service = QDBusConnection::connectToBus(address, u"service"_s);
        if (!GetParam().object)
            return;
        m_standIn.setObjectName(QString::fromLatin1(GetParam().object));
        m_standIn.moveToThread(&m_thread);
        m_thread.start();
        ASSERT_TRUE(service.registerObject(m_standIn.objectName(), &m_standIn, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(u"org.freedesktop.ScreenSaver"_s));
    }

    void TearDown() override
    {
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(u"client"_s);
        QDBusConnection::disconnectFromBus(u"service"_s);
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished();
    }

    /** The calls noted, asked over the inhibitor's own connection, so they come after its own calls. */
    QStringList calls()
    {
        QCoreApplication::processEvents();
        if (!GetParam().object)
            return {};
        return QDBusReply<QStringList>(m_client.call(QDBusMessage::createMethodCall(
                                           u"org.freedesktop.ScreenSaver"_s, m_standIn.objectName(), {}, u"Calls"_s)))
            .value();
    }

    QTemporaryDir m_socketDir;
    QProcess m_daemon;
    QThread m_thread;
    StandInScreenSaver m_standIn; // freed after TearDown() has stopped its thread
    QDBusConnection m_client {u"client"_s};
};

} // namespace

TEST_P(ScreenSaverInhibit, HoldsTheScreenSaverOffWhileHeldAndLetsGoAfter)
{
    auto inhibitor = std::make_unique<platform::ScreenSaverInhibitor>(m_client);
    for (const QString& step : QString::fromLatin1(GetParam().steps).split(u' ')) {
        if (step[0] == u'E')
            inhibitor.reset();
        else if (step[0] == u'R')
            inhibitor->setHeld(false);
        if (inhibitor)
            inhibitor->setHeld(step[0] != u'L');
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls().size() == step.mid(1).toInt(); }, 5000)) << step.toStdString();
    }
    EXPECT_EQ(calls(), GetParam().calls);
}

const char* const kObject = "/org/freedesktop/ScreenSaver";
const QString kInhibit = u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s;
const QString kUnInhibit = u"UnInhibit /org/freedesktop/ScreenSaver 41"_s;

INSTANTIATE_TEST_SUITE_P(Services, ScreenSaverInhibit,
    testing::Values(
        InhibitCase {"InhibitThenUnInhibitWithItsCookie", kObject, "H1 L2 H3", {kInhibit, kUnInhibit, kInhibit}},
        InhibitCase {"OlderObjectPathAnswersInstead", "/ScreenSaver", "H1 L2",
            {u"Inhibit /ScreenSaver Zelkavio"_s, u"UnInhibit /ScreenSaver 41"_s}},
        InhibitCase {"RestartWithinOneStepMakesNoCalls", kObject, "H1 R1 R1", {kInhibit}},
        InhibitCase {"ProgramEndLetsGo", kObject, "H1 E2", {kInhibit, kUnInhibit}},
        InhibitCase {"NoServiceNothingHappens", nullptr, "H0 L0 H0 E0", {}}),
    [](const testing::TestParamInfo<InhibitCase>& param) { return std::string(param.param.name); });

#include "screen_saver_test.moc"
