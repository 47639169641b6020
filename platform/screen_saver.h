#pragma once

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

namespace platform {

/**
 * Holds off the desktop's screen saver and idle blanking while held, through the freedesktop.org screen saver
 * service on a D-Bus connection: `Inhibit` on `/org/freedesktop/ScreenSaver` (or `/ScreenSaver` where only that
 * object answers) when held, `UnInhibit` with its cookie when let go. Without a bus or without such a service
 * nothing happens and nothing is reported.
 *
 * The calls are asynchronous, so a slow or hung service never stalls the program, and changes are applied once
 * control is back in the event loop: letting go and taking hold again within one step (a show that restarts)
 * makes no calls at all. Only release(), at the program's end, waits for the service, and briefly.
 */
class ScreenSaverInhibitor : public QObject {
public:
    explicit ScreenSaverInhibitor(const QDBusConnection& connection, QObject* parent = nullptr);
    ~ScreenSaverInhibitor() override;

    /** Asks for the screen saver to be held off (true) or let go (false). */
    void setHeld(bool held);
    [[nodiscard]] bool isHeld() const { return m_wanted; }

    /** Lets go at once, waiting up to a second or two for the service to hear it. */
    void release();

private:
    void applySoon();
    void apply();
    void inhibit(int objectIndex);
    /** Takes the pending Inhibit's answer: true when it gave a cookie. A wrong object tries the next one. */
    bool takeAnswer(int objectIndex);

    QDBusConnection m_connection;
    bool m_wanted = false;
    bool m_applyQueued = false;
    QDBusPendingCallWatcher* m_pending = nullptr;
    int m_pendingObject = 0;
    std::optional<uint> m_cookie;
    int m_cookieObject = 0;
};

/** The program's inhibitor, on the session bus; made at its first use. */
[[nodiscard]] ScreenSaverInhibitor& screenSaver();

/** Lets go of the screen saver and frees the program's inhibitor (at the program's end; safe when never made). */
void releaseScreenSaver();

} // namespace platform
