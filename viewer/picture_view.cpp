#include "picture_view.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

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
    takeShownSize();
    update();
}

void PictureView::follow(const store::Picture& picture)
{
    m_followed = &picture;
    m_image = picture.pixelsSoFar();
    m_rows = picture.decodedRows();
    takeShownSize();
    update();
}

void PictureView::setShownSize(std::optional<QSize> pixels, double ratio)
{
    if (pixels == m_shown && ratio == m_ratio)
        return;
    m_shown = pixels;
    m_ratio = ratio;
    takeShownSize();
    update();
}

QSize PictureView::shownSize() const
{
    return m_shown.value_or(m_image.size());
}

double PictureView::ratio() const
{
    return m_ratio > 0 ? m_ratio : devicePixelRatioF();
}

void PictureView::takeShownSize()
{
    const QSize shown = shownSize();
    const double r = ratio();
    setFixedSize(int(std::ceil(shown.width() / r - 1e-6)), int(std::ceil(shown.height() / r - 1e-6)));
    m_smooth = QImage();
    m_smoothDue = true;
}

const QImage& PictureView::smoothImage()
{
    // Bilinear drawing takes four pixels for each one it draws, so a picture shrunk to less than half skips some
    // and shimmers; once complete it is averaged down, once, at its first paint, and drawn from that.
    const QSize shown = shownSize();
    if (m_smoothDue && !m_followed && m_rows.cover(0, m_image.height()) && !m_image.isNull() && !shown.isEmpty()) {
        m_smoothDue = false;
        if (m_image.width() > 2 * shown.width() || m_image.height() > 2 * shown.height())
            m_smooth = m_image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return m_smooth;
}

QRectF PictureView::rowsInView(int from, int to) const
{
    const QSize shown = shownSize();
    const double r = ratio();
    const double height = m_image.height() > 0 ? shown.height() / r / m_image.height() : 0;
    return {0, from * height, shown.width() / r, (to - from) * height};
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
    // The rows that grew each span; the window clips the update to what it shows. A scaled row may share its first
    // and last line with its neighbours.
    const auto grown = [&](int from, int to) {
        if (to > from)
            update(rowsInView(from, to).toAlignedRect().adjusted(0, -1, 0, 1));
    };
    grown(std::max(before.upperEnd, 0), std::min(now.upperEnd, now.bandStart));
    grown(std::max(before.bandEnd, now.bandStart), now.bandEnd);
}

void PictureView::stopFollowing()
{
    // The rows that arrived since the last look are painted too, whoever ends the following.
    rowsArrived();
    const bool followed = m_followed != nullptr;
    m_followed = nullptr;
    // A picture shrunk a lot is drawn again from its averaged copy once it is complete.
    if (followed && (m_image.width() > 2 * shownSize().width() || m_image.height() > 2 * shownSize().height()))
        update();
}

void PictureView::paintEvent(QPaintEvent* event)
{
    ++m_paintCount;
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QSize shown = shownSize();
    const bool natural = shown == m_image.size() && ratio() == 1;
    const QRect area = event->rect();
    const QRectF whole = rowsInView(0, m_image.height());
    if (!smoothImage().isNull()) {
        const QRectF exposed = whole & QRectF(area);
        if (exposed != QRectF(area) || m_smooth.hasAlphaChannel())
            painter.fillRect(area, palette().window());
        const double scale = m_smooth.width() / whole.width();
        painter.drawImage(exposed, m_smooth,
            QRectF(exposed.x() * scale, exposed.y() * scale, exposed.width() * scale, exposed.height() * scale));
        return;
    }
    // What is not decoded (yet, or because the data failed) shows the backdrop; so do transparent pixels and the
    // part of a unit a fractional ratio leaves over.
    const store::DecodedRows rows = paintableRows();
    const QRectF exposedImage = whole & QRectF(area);
    const double sx = m_image.width() / whole.width();
    const double sy = m_image.height() / whole.height();
    const int firstRow = int(std::floor(exposedImage.top() * sy));
    const int lastRow = int(std::ceil(exposedImage.bottom() * sy));
    if (m_image.hasAlphaChannel() || exposedImage != QRectF(area) || !rows.cover(firstRow, lastRow))
        painter.fillRect(area, palette().window());
    if (!natural)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& [from, to] : spansOf(rows)) {
        const QRectF span = exposedImage & rowsInView(from, to);
        if (span.isEmpty())
            continue;
        if (natural)
            painter.drawImage(span.topLeft(), m_image, span.toAlignedRect());
        else
            painter.drawImage(
                span, m_image, QRectF(span.x() * sx, span.y() * sy, span.width() * sx, span.height() * sy));
    }
}

} // namespace viewer
