#include "show_timer.h"

#include "guard.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace platform {
namespace {
constexpr std::uint32_t kLongestPiece = INT_MAX;
} // namespace

ShowTimer::ShowTimer(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("Timer11"));
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { timeout(); });
}

void ShowTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restartPeriod();
}

void ShowTimer::setInterval(std::uint32_t milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    restartPeriod();
}

bool ShowTimer::isTiming() const
{
    return m_timer->isActive();
}

void ShowTimer::restartPeriod()
{
    m_timer->stop();
    m_chainRemaining = 0;
    if (!m_enabled || m_interval == 0)
        return;
    if (m_interval <= kLongestPiece) {
        // A repeating precise timer schedules each tick from the last one, so the show does not drift.
        m_timer->setSingleShot(false);
        m_timer->start(int(m_interval));
        return;
    }
    m_timer->setSingleShot(true);
    m_chainRemaining = m_interval;
    startPiece();
}

void ShowTimer::startPiece()
{
    const std::uint32_t piece = std::min(m_chainRemaining, kLongestPiece);
    m_chainRemaining -= piece;
    m_timer->start(int(piece));
}

void ShowTimer::timeout()
{
    if (m_chainRemaining > 0) {
        startPiece();
        return;
    }
    if (m_interval > kLongestPiece) {
        m_chainRemaining = m_interval;
        startPiece();
    }
    postTick();
}

std::vector<std::uint32_t> timerPieces(std::uint32_t interval)
{
    std::vector<std::uint32_t> pieces;
    while (interval > 0) {
        pieces.push_back(std::min(interval, kLongestPiece));
        interval -= pieces.back();
    }
    return pieces;
}

void ShowTimer::postTick()
{
    if (m_tickPending)
        return;
    m_tickPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_tickPending = false;
            if (m_enabled && onTick)
                guarded(onTick);
        },
        Qt::QueuedConnection);
}

} // namespace platform
