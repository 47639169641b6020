#include "platform/screen_saver.h"
#include "support/widget_application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

/** The test's own screen saver service: answers Inhibit with cookies from 41 on and notes every call. */
class StandInScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit StandInScreenSaver(QString path)
        : m_path(std::move(path))
    {
    }

public slots:
    uint Inhibit(const QString& application, const QString& /*reason*/)
    {
        const QMutexLocker lock(&m_mutex);
        m_calls << u"Inhibit %1 %2"_s.arg(m_path, application);
        return m_nextCookie++;
    }
    void UnInhibit(uint cookie)
    {
        const QMutexLocker lock(&m_mutex);
        m_calls << u"UnInhibit %1 %2"_s.arg(m_path).arg(cookie);
    }
    QStringList Calls()
    {
        const QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    QString m_path;
    QMutex m_mutex;
    QStringList m_calls;
    uint m_nextCookie = 41;
};

enum class Step { Hold, LetGo, HoldAgainAtOnce, EndProgram };

struct InhibitCase {
    const char* name;
    /** Where the stand-in answers; nullptr: no screen saver service on the bus. */
    const char* object;
    /** Each step with the number of calls noted once it is answered. */
    std::vector<std::pair<Step, int>> steps;
    QStringList calls;
};

void PrintTo(const InhibitCase& c, std::ostream* os)
{
    *os << c.name;
}

/** A private session bus (`dbus-daemon --session`) with the stand-in service on it, answered on its own thread. */
class ScreenSaverInhibit : public testing::TestWithParam<InhibitCase> {
protected:
    static void SetUpTestSuite() { testing_support::ensureWidgetApplication(); }

    void SetUp() override
    {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty()) {
            if (qEnvironmentVariable("CI") == u"true")
                FAIL() << "dbus-daemon is not installed (scripts/install-deps.sh installs it)";
            GTEST_SKIP() << "dbus-daemon is not installed";
        }
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        ASSERT_TRUE(m_daemon.waitForReadyRead(10000)) << "dbus-daemon gave no address";
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, u"client"_s));
        m_service = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, u"service"_s));
        ASSERT_TRUE(m_client->isConnected() && m_service->isConnected());
        if (const char* object = GetParam().object) {
            m_standIn = std::make_unique<StandInScreenSaver>(QString::fromLatin1(object));
            m_standIn->moveToThread(&m_thread);
            m_thread.start();
            ASSERT_TRUE(m_service->registerObject(
                QString::fromLatin1(object), m_standIn.get(), QDBusConnection::ExportAllSlots));
            ASSERT_TRUE(m_service->registerService(u"org.freedesktop.ScreenSaver"_s));
        }
    }

    void TearDown() override
    {
        m_thread.quit();
        m_thread.wait();
        m_standIn.reset();
        m_client.reset();
        m_service.reset();
        QDBusConnection::disconnectFromBus(u"client"_s);
        QDBusConnection::disconnectFromBus(u"service"_s);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    /** The calls the stand-in noted, asked over the inhibitor's own connection, so they follow its calls. */
    QStringList calls()
    {
        if (!m_standIn)
            return {};
        QCoreApplication::processEvents();
        const QDBusMessage ask = QDBusMessage::createMethodCall(u"org.freedesktop.ScreenSaver"_s,
            QString::fromLatin1(GetParam().object), u"org.freedesktop.ScreenSaver"_s, u"Calls"_s);
        const QDBusReply<QStringList> reply = m_client->call(ask, QDBus::Block, 5000);
        return reply.isValid() ? reply.value() : QStringList {u"no answer: "_s + reply.error().message()};
    }

    QProcess m_daemon;
    QThread m_thread;
    std::unique_ptr<StandInScreenSaver> m_standIn;
    std::unique_ptr<QDBusConnection> m_client;
    std::unique_ptr<QDBusConnection> m_service;
};

} // namespace

TEST_P(ScreenSaverInhibit, HoldsTheScreenSaverOffWhileHeldAndLetsGoAfter)
{
    const InhibitCase& c = GetParam();
    auto inhibitor = std::make_unique<platform::ScreenSaverInhibitor>(*m_client);
    for (const auto& stepAndCalls : c.steps) {
        const int callsAfter = stepAndCalls.second;
        switch (stepAndCalls.first) {
        case Step::Hold:
            inhibitor->setHeld(true);
            break;
        case Step::LetGo:
            inhibitor->setHeld(false);
            break;
        case Step::HoldAgainAtOnce:
            inhibitor->setHeld(false);
            inhibitor->setHeld(true);
            break;
        case Step::EndProgram:
            inhibitor.reset();
            break;
        }
        // Each step's calls are answered before the next step.
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls().size() == callsAfter; }, 5000))
            << calls().join(u"; "_s).toStdString();
    }
    EXPECT_EQ(calls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(Services, ScreenSaverInhibit,
    testing::Values(
        InhibitCase {"InhibitThenUnInhibitWithItsCookie", "/org/freedesktop/ScreenSaver",
            {{Step::Hold, 1}, {Step::LetGo, 2}},
            {u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s, u"UnInhibit /org/freedesktop/ScreenSaver 41"_s}},
        InhibitCase {"OlderObjectPathAnswersInstead", "/ScreenSaver", {{Step::Hold, 1}, {Step::LetGo, 2}},
            {u"Inhibit /ScreenSaver Zelkavio"_s, u"UnInhibit /ScreenSaver 41"_s}},
        InhibitCase {"RestartWithinOneStepMakesNoCalls", "/org/freedesktop/ScreenSaver",
            {{Step::Hold, 1}, {Step::HoldAgainAtOnce, 1}, {Step::HoldAgainAtOnce, 1}},
            {u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s}},
        InhibitCase {"ProgramEndLetsGo", "/org/freedesktop/ScreenSaver", {{Step::Hold, 1}, {Step::EndProgram, 2}},
            {u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s, u"UnInhibit /org/freedesktop/ScreenSaver 41"_s}},
        InhibitCase {"HeldAgainAfterLettingGo", "/org/freedesktop/ScreenSaver",
            {{Step::Hold, 1}, {Step::LetGo, 2}, {Step::Hold, 3}},
            {u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s, u"UnInhibit /org/freedesktop/ScreenSaver 41"_s,
                u"Inhibit /org/freedesktop/ScreenSaver Zelkavio"_s}},
        InhibitCase {"NoServiceNothingHappens", nullptr,
            {{Step::Hold, 0}, {Step::LetGo, 0}, {Step::Hold, 0}, {Step::EndProgram, 0}}, {}}),
    [](const testing::TestParamInfo<InhibitCase>& param) { return std::string(param.param.name); });

#include "screen_saver_test.moc"
