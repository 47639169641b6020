#include "picture_view.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>

namespace viewer {

namespace {

store::DecodedRows allRows(const QImage& image)
{
    return {image.height(), image.height(), image.height()};
}

/** The row spans `rows` names, top to bottom. */
std::array<std::pair<int, int>, 2> spansOf(const store::DecodedRows& rows)
{
    return {{{0, std::min(rows.upperEnd, rows.bandStart)}, {rows.bandStart, rows.bandEnd}}};
}

} // namespace

PictureView::PictureView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(0, 0);
}

void PictureView::setImage(const QImage& image)
{
    m_followed = nullptr;
    m_image = image;
    m_rows = allRows(image);
    setFixedSize(image.size());
    update();
}

void PictureView::follow(const store::Picture& picture)
{
    m_followed = &picture;
    m_image = picture.pixelsSoFar();
    m_rows = picture.decodedRows();
    setFixedSize(m_image.size());
    update();
}

store::DecodedRows PictureView::paintableRows()
{
    if (m_followed)
        m_rows = m_followed->decodedRows();
    return m_rows;
}

void PictureView::rowsArrived()
{
    const store::DecodedRows before = m_rows;
    const store::DecodedRows now = paintableRows();
    // The rows that grew each span; the window clips the update to what it shows.
    const auto grown = [&](int from, int to) {
        if (to > from)
            update(0, from, width(), to - from);
    };
    grown(std::max(before.upperEnd, 0), std::min(now.upperEnd, now.bandStart));
    grown(std::max(before.bandEnd, now.bandStart), now.bandEnd);
}

void PictureView::stopFollowing()
{
    (void)paintableRows();
    m_followed = nullptr;
}

void PictureView::paintEvent(QPaintEvent* event)
{
    ++m_paintCount;
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QRect area = event->rect() & m_image.rect();
    // What is not decoded (yet, or because the data failed) shows the backdrop; so do transparent pixels.
    const store::DecodedRows rows = paintableRows();
    if (m_image.hasAlphaChannel() || !rows.cover(area.top(), area.bottom() + 1))
        painter.fillRect(area, palette().window());
    for (const auto& [from, to] : spansOf(rows)) {
        const QRect span = area & QRect(0, from, m_image.width(), to - from);
        if (!span.isEmpty())
            painter.drawImage(span.topLeft(), m_image, span);
    }
}

} // namespace viewer
