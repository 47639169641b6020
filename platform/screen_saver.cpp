#include "screen_saver.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <array>
#include <memory>
#include <utility>

namespace platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
// Desktops publish the interface on the first object; some older ones only on the second.
const std::array<QString, 2> kObjects
    = {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")};
constexpr int kCallTimeoutMs = 2000;

QDBusMessage call(int objectIndex, const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kObjects.at(objectIndex), kService, method);
}

std::unique_ptr<ScreenSaverInhibitor>& programInhibitor()
{
    static std::unique_ptr<ScreenSaverInhibitor> inhibitor;
    return inhibitor;
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    release();
}

void ScreenSaverInhibitor::setHeld(bool held)
{
    if (held == m_wanted)
        return;
    m_wanted = held;
    applySoon();
}

void ScreenSaverInhibitor::applySoon()
{
    if (m_applyQueued)
        return;
    m_applyQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_applyQueued = false;
        apply();
    });
}

void ScreenSaverInhibitor::apply()
{
    // One call at a time: its answer applies whatever was asked meanwhile.
    if (m_pending || !m_connection.isConnected())
        return;
    if (m_wanted && !m_cookie) {
        inhibit(0);
    } else if (!m_wanted && m_cookie) {
        QDBusMessage message = call(m_cookieObject, QStringLiteral("UnInhibit"));
        message << *m_cookie;
        m_cookie.reset();
        // Nobody waits for the answer; a service that has gone has let go anyway.
        m_connection.send(message);
    }
}

void ScreenSaverInhibitor::inhibit(int objectIndex)
{
    QDBusMessage message = call(objectIndex, QStringLiteral("Inhibit"));
    message << QStringLiteral("Zelkavio") << QStringLiteral("Automatyczny pokaz obrazów");
    m_pending = new QDBusPendingCallWatcher(m_connection.asyncCall(message, kCallTimeoutMs), this);
    m_pendingObject = objectIndex;
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, [this, objectIndex](QDBusPendingCallWatcher* watcher) {
        if (watcher == m_pending && takeAnswer(objectIndex))
            apply();
    });
}

bool ScreenSaverInhibitor::takeAnswer(int objectIndex)
{
    QDBusPendingCallWatcher* watcher = std::exchange(m_pending, nullptr);
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        // The service is there but not on this object: try the other one. Any other failure (no service, no
        // answer) leaves the screen saver alone, silently.
        const QDBusError::ErrorType type = reply.error().type();
        const bool elsewhere = type == QDBusError::UnknownObject || type == QDBusError::UnknownMethod
            || type == QDBusError::UnknownInterface;
        if (elsewhere && m_wanted && objectIndex + 1 < int(kObjects.size()))
            inhibit(objectIndex + 1);
        return false;
    }
    m_cookie = reply.value();
    m_cookieObject = objectIndex;
    return true;
}

void ScreenSaverInhibitor::release()
{
    m_wanted = false;
    if (m_pending) {
        // Answered here rather than through the signal, which waiting may emit too.
        disconnect(m_pending, nullptr, this, nullptr);
        m_pending->waitForFinished();
        takeAnswer(m_pendingObject);
    }
    if (!m_cookie || !m_connection.isConnected())
        return;
    QDBusMessage message = call(m_cookieObject, QStringLiteral("UnInhibit"));
    message << *m_cookie;
    m_cookie.reset();
    // Waited for, so the message has left before the program does.
    m_connection.call(message, QDBus::Block, kCallTimeoutMs);
}

ScreenSaverInhibitor& screenSaver()
{
    std::unique_ptr<ScreenSaverInhibitor>& inhibitor = programInhibitor();
    if (!inhibitor)
        inhibitor = std::make_unique<ScreenSaverInhibitor>(QDBusConnection::sessionBus());
    return *inhibitor;
}

void releaseScreenSaver()
{
    programInhibitor().reset();
}

} // namespace platform
