#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

class QTimer;

namespace platform {

/**
 * The automatic show's window timer. It keeps its own enabled flag and an unsigned 32-bit interval in
 * milliseconds; the period starts again only when the interval changes or the timer goes from disabled to
 * enabled, so setting the same interval or enabling an enabled timer changes nothing. An interval of 0
 * never ticks (a 0 ms QTimer would fire without pause); intervals past what QTimer takes are chained.
 *
 * Qt never re-enters a timer whose handler is still running, yet a tick may open a box whose nested event
 * loop must go on ticking. So the timeout only posts the tick (at most one waits at a time) and returns; the
 * posted tick runs `onTick` through the error guard, and a timer disabled meanwhile drops it.
 */
class ShowTimer : public QObject {
public:
    explicit ShowTimer(QObject* parent = nullptr);

    std::function<void()> onTick;

    void setEnabled(bool enabled);
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void setInterval(std::uint32_t milliseconds);
    [[nodiscard]] std::uint32_t interval() const { return m_interval; }
    /** Whether a period is being timed now (enabled with an interval above 0). */
    [[nodiscard]] bool isTiming() const;

private:
    void restartPeriod();
    void startPiece();
    void timeout();
    void postTick();

    QTimer* m_timer;
    bool m_enabled = false;
    std::uint32_t m_interval = 1000;
    /** What remains of a chained period after the running piece. */
    std::uint32_t m_chainRemaining = 0;
    bool m_tickPending = false;
};

/** The pieces a period of `interval` ms is timed in (QTimer takes at most INT_MAX ms); none for 0. */
[[nodiscard]] std::vector<std::uint32_t> timerPieces(std::uint32_t interval);

} // namespace platform
