#include "sizing_frame.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace platform {

SizingFrame::SizingFrame(QWidget* window, int width)
    : QObject(window)
    , m_window(window)
    , m_width(width)
{
    window->setMouseTracking(true);
    window->installEventFilter(this);
}

Qt::Edges SizingFrame::edgesAt(const QPoint& where) const
{
    Qt::Edges edges;
    const QRect area = m_window->rect();
    if (where.x() < m_width)
        edges |= Qt::LeftEdge;
    if (where.x() >= area.width() - m_width)
        edges |= Qt::RightEdge;
    if (where.y() < m_width)
        edges |= Qt::TopEdge;
    if (where.y() >= area.height() - m_width)
        edges |= Qt::BottomEdge;
    return edges;
}

bool SizingFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || m_window->isMaximized())
        return false;
    if (event->type() == QEvent::MouseMove) {
        const Qt::Edges edges = edgesAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            m_window->setCursor(Qt::SizeFDiagCursor);
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            m_window->setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            m_window->setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            m_window->setCursor(Qt::SizeVerCursor);
        else
            m_window->unsetCursor();
    } else if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const Qt::Edges edges = edgesAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && edges && m_window->windowHandle())
            return m_window->windowHandle()->startSystemResize(edges);
    }
    return false;
}

} // namespace platform
