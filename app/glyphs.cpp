#include "glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>

namespace app {
namespace {

QPixmap transparentPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPolygonF arrowHead(bool right)
{
    QPolygonF head {QPointF(1.5, 8), QPointF(13.5, 1.5), QPointF(13.5, 14.5)};
    if (right) {
        for (QPointF& point : head)
            point.setX(16 - point.x());
    }
    return head;
}

/** The disabled form: the same shape as a grey outline with a white shadow, as disabled buttons show. */
QPixmap greyOutline(const QPainterPath& shape, int size)
{
    QPixmap pixmap = transparentPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPath(shape.translated(1, 1));
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.drawPath(shape);
    return pixmap;
}

/** A tinted form: every pixel turned to a light grey of its brightness, transparency kept. */
QPixmap tinted(const QPixmap& source)
{
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(row[x]) / 2;
            row[x] = qRgba(grey, grey, grey, qAlpha(row[x]));
        }
    }
    return QPixmap::fromImage(image);
}

QPolygonF octagon(double centre, double radius)
{
    QPolygonF points;
    for (int i = 0; i < 8; ++i) {
        const double angle = (22.5 + 45.0 * i) * M_PI / 180.0;
        points << QPointF(centre + radius * std::cos(angle), centre + radius * std::sin(angle));
    }
    return points;
}
} // namespace

QIcon arrowGlyph(bool right)
{
    constexpr int size = 16;
    const QPolygonF head = arrowHead(right);
    QPixmap normal = transparentPixmap(size);
    {
        QPainter painter(&normal);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 0, 128), 1));
        painter.setBrush(QColor(0, 0, 255));
        painter.drawPolygon(head);
        painter.setPen(QPen(QColor(255, 0, 0), 2));
        painter.drawLine(QPointF(2, 8), QPointF(14, 8));
    }
    QPainterPath outline;
    outline.addPolygon(head);
    outline.closeSubpath();
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(greyOutline(outline, size), QIcon::Disabled);
    return icon;
}

QIcon photoGlyph()
{
    constexpr int size = 17;
    QPixmap normal = transparentPixmap(size);
    {
        QPainter painter(&normal);
        painter.setRenderHint(QPainter::Antialiasing);
        // The print's white border, then sky, a sun, a hill and a meadow.
        painter.setPen(QPen(QColor(64, 64, 64), 1));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(0.5, 1.5, 16, 14));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(96, 160, 255));
        painter.drawRect(QRectF(2, 3, 13, 7));
        painter.setBrush(QColor(255, 220, 0));
        painter.drawEllipse(QPointF(11.5, 5.5), 1.8, 1.8);
        painter.setBrush(QColor(0, 150, 40));
        painter.drawRect(QRectF(2, 10, 13, 4));
        painter.setBrush(QColor(90, 70, 50));
        painter.drawPolygon(QPolygonF {QPointF(2, 10), QPointF(6, 5), QPointF(10, 10)});
    }
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(tinted(normal), QIcon::Disabled);
    return icon;
}

QIcon stopGlyph()
{
    constexpr int size = 20;
    QPixmap normal = transparentPixmap(size);
    {
        QPainter painter(&normal);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(QColor(220, 0, 0));
        painter.drawPolygon(octagon(10, 9.6));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(6);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("STOP"));
    }
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(tinted(normal), QIcon::Disabled);
    return icon;
}

} // namespace app
