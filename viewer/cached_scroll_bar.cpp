#include "cached_scroll_bar.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

// Qt's raster engine hands a drawing call of 96 spans or more (a fill's rows, the pixels of the lines along a bar)
// to its thread pool and waits for it; on two processors the wait costs milliseconds, more than the drawing. Drawn
// in tiles this short along its length, a bar is drawn on the window's thread alone.
constexpr int kTileLength = 32;

} // namespace

CachedScrollBar::CachedScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

void CachedScrollBar::paintEvent(QPaintEvent* event)
{
    // The hovered and pressed parts are known only to the bar itself.
    if (underMouse() || isSliderDown() || QApplication::mouseButtons() != Qt::NoButton) {
        m_drawing = QImage();
        QScrollBar::paintEvent(event);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    const qreal pixelRatio = devicePixelRatioF();
    const Look look {size(), pixelRatio, minimum(), maximum(), pageStep(), option.sliderPosition, int(option.state),
        option.direction, palette().cacheKey(), style()};
    if (m_drawing.isNull() || look != m_look) {
        m_drawing = draw(option, pixelRatio);
        m_look = look;
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_drawing);
}

QImage CachedScrollBar::draw(const QStyleOptionSlider& option, qreal pixelRatio) const
{
    QImage drawing(size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    drawing.fill(Qt::transparent);
    // Whole tiles need a whole number of pixels per point; otherwise the bar is drawn in one piece.
    const bool along = orientation() == Qt::Horizontal;
    const int length = along ? drawing.width() : drawing.height();
    const int tileLength = pixelRatio == std::round(pixelRatio) ? kTileLength * int(pixelRatio) : length;
    for (int start = 0; start < length; start += tileLength) {
        const int part = std::min(tileLength, length - start);
        // A tile shares its pixels with the drawing.
        uchar* const first = along ? drawing.scanLine(0) + qsizetype(start) * 4 : drawing.scanLine(start);
        const QSize tileSize = along ? QSize(part, drawing.height()) : QSize(drawing.width(), part);
        QImage tile(first, tileSize.width(), tileSize.height(), drawing.bytesPerLine(), drawing.format());
        tile.setDevicePixelRatio(pixelRatio);
        QPainter painter(&tile);
        const qreal offset = -start / pixelRatio;
        painter.translate(along ? offset : 0, along ? 0 : offset);
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    }
    drawing.setDevicePixelRatio(pixelRatio);
    return drawing;
}

} // namespace viewer
