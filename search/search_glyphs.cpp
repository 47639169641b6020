#include "search_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <functional>

namespace search {

namespace {

constexpr int kSize = 18;

/** A glyph drawn by `draw` on a transparent square, with a greyed form for the disabled button. */
QIcon drawnGlyph(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    QImage grey = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int level = 128 + qGray(row[x]) / 2;
            row[x] = qRgba(level, level, level, qAlpha(row[x]));
        }
    }
    QIcon icon(pixmap);
    icon.addPixmap(QPixmap::fromImage(grey), QIcon::Disabled);
    return icon;
}

} // namespace

QIcon findGlyph()
{
    return drawnGlyph([](QPainter& p) {
        p.setPen(QPen(QColor(40, 40, 40), 1.5));
        p.setBrush(QColor(190, 225, 255));
        p.drawEllipse(QRectF(2, 2, 10, 10));
        p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(16, 16));
    });
}

QIcon openGlyph()
{
    return drawnGlyph([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(250, 250, 240));
        p.drawRect(QRectF(1.5, 3.5, 11, 11));
        p.setBrush(QColor(70, 140, 70));
        p.drawPolygon(QPolygonF {QPointF(2.5, 13.5), QPointF(6, 8), QPointF(9, 11), QPointF(11.5, 13.5)});
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 150, 0));
        p.drawPolygon(QPolygonF {QPointF(10, 6), QPointF(13, 6), QPointF(13, 3), QPointF(17, 7.5), QPointF(13, 12),
            QPointF(13, 9), QPointF(10, 9)});
    });
}

QIcon removeGlyph()
{
    return drawnGlyph([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        for (const double y : {4.5, 9.5, 14.5})
            p.drawLine(QPointF(1.5, y), QPointF(16.5, y));
        p.setPen(QPen(QColor(200, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(13, 13));
        p.drawLine(QPointF(13, 5), QPointF(5, 13));
    });
}

QIcon saveGlyph()
{
    return drawnGlyph([](QPainter& p) {
        p.setPen(QPen(QColor(20, 20, 60), 1));
        p.setBrush(QColor(40, 60, 160));
        p.drawPolygon(
            QPolygonF {QPointF(1.5, 1.5), QPointF(14, 1.5), QPointF(16.5, 4), QPointF(16.5, 16.5), QPointF(1.5, 16.5)});
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 8, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 10.5, 9, 6));
    });
}

QIcon closeGlyph()
{
    return drawnGlyph([](QPainter& p) {
        p.setPen(QPen(QColor(60, 40, 20), 1));
        p.setBrush(QColor(160, 110, 60));
        p.drawRect(QRectF(1.5, 1.5, 9, 15));
        p.setBrush(QColor(20, 20, 20));
        p.drawEllipse(QPointF(8.5, 9.5), 1, 1);
        p.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 9), QPointF(16.5, 9));
        p.drawLine(QPointF(14, 6.5), QPointF(16.5, 9));
        p.drawLine(QPointF(14, 11.5), QPointF(16.5, 9));
    });
}

} // namespace search
