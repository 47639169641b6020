#include "picture_view.h"

#include <QPaintEvent>
#include <QPainter>

namespace viewer {

PictureView::PictureView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(0, 0);
}

void PictureView::setImage(const QImage& image)
{
    m_image = image;
    setFixedSize(image.size());
    update();
}

void PictureView::paintEvent(QPaintEvent* event)
{
    ++m_paintCount;
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QRect area = event->rect() & m_image.rect();
    // What could not be decoded is transparent and shows the backdrop.
    if (m_image.hasAlphaChannel())
        painter.fillRect(area, palette().window());
    painter.drawImage(area.topLeft(), m_image, area);
}

} // namespace viewer
