#include "repaint_wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimerEvent>
#include <QWidget>
#include <QWindow>

#include <utility>
#include <vector>

namespace platform {

namespace {

/** Events that only paint, lay out or tell a widget of its own geometry: these run during the wait. */
bool onlyPaints(QEvent::Type type)
{
    switch (type) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::Expose:
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::LayoutRequest:
    case QEvent::PlatformSurface:
    case QEvent::Polish:
    case QEvent::PolishRequest:
    case QEvent::ChildPolished:
    case QEvent::StyleChange:
    case QEvent::ScreenChangeInternal:
    case QEvent::DeferredDelete:
        return true;
    default:
        return false;
    }
}

/**
 * An application event filter that, while the windows are being repainted between two asks, lets through only
 * painting and holds everything else back (see waitRepaintingOnly()).
 */
class HoldBack : public QObject {
public:
    explicit HoldBack(const std::function<bool(std::chrono::milliseconds)>& finished)
        : m_finished(finished)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    ~HoldBack() override { QCoreApplication::instance()->removeEventFilter(this); }
    HoldBack(const HoldBack&) = delete;
    HoldBack& operator=(const HoldBack&) = delete;

    /** What was held back happens now, as it would have after a command that kept the thread. */
    void release()
    {
        QCoreApplication::instance()->removeEventFilter(this);
        for (const auto& [receiver, timerId] : m_dueTimers) {
            if (receiver)
                QCoreApplication::postEvent(receiver, new QTimerEvent(timerId));
        }
        for (const QPointer<QObject>& receiver : m_closes) {
            if (auto* window = qobject_cast<QWindow*>(receiver.data()))
                window->close();
            else if (auto* widget = qobject_cast<QWidget*>(receiver.data()))
                widget->close();
        }
    }

    void run()
    {
        constexpr QEventLoop::ProcessEventsFlags kPaintingOnly
            = QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;
        while (!m_workDone && !m_finished(kRepaintPeriod)) {
            m_holding = true;
            QCoreApplication::processEvents(kPaintingOnly);
            m_holding = false;
        }
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!m_holding || onlyPaints(event->type()))
            return false;
        switch (event->type()) {
        case QEvent::Timer:
            noteDueTimer(receiver, static_cast<QTimerEvent*>(event)->timerId());
            return true;
        case QEvent::Close:
            m_closes.emplace_back(receiver);
            event->ignore();
            return true;
        case QEvent::MetaCall:
            // A posted call cannot be put back: stop painting and let it run once the work is done.
            m_holding = false;
            while (!m_finished(kRepaintPeriod)) { }
            m_workDone = true;
            return false;
        default:
            return true;
        }
    }

private:
    void noteDueTimer(QObject* receiver, int timerId)
    {
        for (const auto& [known, id] : m_dueTimers) {
            if (known == receiver && id == timerId)
                return;
        }
        m_dueTimers.emplace_back(receiver, timerId);
    }

    const std::function<bool(std::chrono::milliseconds)>& m_finished;
    bool m_holding = false;
    bool m_workDone = false;
    std::vector<std::pair<QPointer<QObject>, int>> m_dueTimers;
    std::vector<QPointer<QObject>> m_closes;
};

} // namespace

void waitRepaintingOnly(const std::function<bool(std::chrono::milliseconds)>& finished)
{
    if (!QCoreApplication::instance()) {
        while (!finished(kRepaintPeriod)) { }
        return;
    }
    HoldBack holdBack(finished);
    holdBack.run();
    holdBack.release();
}

} // namespace platform
