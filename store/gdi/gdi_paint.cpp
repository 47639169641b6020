// Pens, brushes and binary raster operations turned into Qt's, and shapes painted with them.
#include "gdi_context_p.h"
#include "gdi_lines.h"

#include <cmath>

namespace store::gdi {

namespace {

/** Caps and joins: a geometric or extended pen's own, round for a plain cosmetic one. */
void setCapsAndJoins(QPen& pen, const Pen& p, bool geometric, double miterLimit)
{
    if (geometric || p.extended) {
        switch (p.style & PsEndcapMask) {
        case PsEndcapSquare:
            pen.setCapStyle(Qt::SquareCap);
            break;
        case PsEndcapFlat:
            pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (p.style & PsJoinMask) {
        case PsJoinBevel:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case PsJoinMiter:
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setMiterLimit(miterLimit);
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
        }
    } else {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
}

/** The dash pattern of a pen `width` pixels wide, in Qt's units of that width; empty for a solid line. */
QList<qreal> dashPattern(const Pen& p, bool geometric, double width, double scale)
{
    const std::uint32_t style = p.style & PsStyleMask;
    // Dash lengths are in units of the pen's width in Qt. Cosmetic dashes are fixed pixel lengths; geometric ones
    // scale with the width. A plain pen wider than one unit is always drawn solid.
    QList<qreal> pattern;
    const bool dashesAllowed = p.extended || p.width <= 1;
    if (dashesAllowed) {
        const bool fixedPixels = !geometric;
        auto lengths = [&](std::initializer_list<double> cosmetic, std::initializer_list<double> geo) {
            if (fixedPixels)
                for (double v : cosmetic)
                    pattern.append(v / width);
            else
                pattern.append(geo);
        };
        switch (style) {
        case PsDash:
            lengths({18, 6}, {3, 1});
            break;
        case PsDot:
        case PsAlternate:
            lengths({3, 3}, {1, 1});
            break;
        case PsDashDot:
            lengths({9, 6, 3, 6}, {3, 1, 1, 1});
            break;
        case PsDashDotDot:
            lengths({9, 3, 3, 3, 3, 3}, {3, 1, 1, 1, 1, 1});
            break;
        case PsUserStyle:
            if (!p.dashes.empty()) {
                double total = 0;
                for (double d : p.dashes) {
                    const double len = geometric ? d * scale / width : d / width;
                    pattern.append(std::max(len, 0.01));
                    total += len;
                }
                if (pattern.size() % 2 == 1)
                    pattern.append(pattern);
                if (total <= 0)
                    pattern.clear();
            }
            break;
        default:
            break;
        }
    }
    return pattern;
}

} // namespace

bool DeviceContext::Impl::penVisible() const
{
    return (s.pen.style & PsStyleMask) != PsNull;
}

bool DeviceContext::Impl::brushVisible(const Brush& brush) const
{
    return brush.style != BsNull;
}

QPen DeviceContext::Impl::qtPen() const
{
    const Pen& p = s.pen;
    const bool geometric = p.extended ? (p.style & PsGeometric) != 0 : p.width > 1;
    const double scale = std::sqrt(std::abs(transform().determinant()));
    double width = p.width * scale;
    if (!geometric && p.extended)
        width = 1;
    const QRectF picture = pictureRect();
    width = std::min(width, 2 * (picture.width() + picture.height()) + 16);
    // Lines up to one and a half pixels wide, and width 0, are drawn one whole pixel wide, as the system draws
    // them (a thinner line would leave gaps); the paint engine also draws these much faster.
    if (!(width > 1.5))
        width = 1;

    QPen pen(QColor(rgb(p.color)));
    pen.setWidthF(width);
    setCapsAndJoins(pen, p, geometric, s.miterLimit);

    const QList<qreal> pattern = dashPattern(p, geometric, width, scale);
    if (!pattern.isEmpty())
        pen.setDashPattern(pattern);
    return pen;
}

QBrush DeviceContext::Impl::qtBrush(const Brush& brush) const
{
    const QColor color(rgb(brush.color));
    switch (brush.style) {
    case BsSolid:
        return QBrush(color);
    case BsHatched: {
        // An 8x8 cell like GDI's, one pixel lines, background from the context.
        QImage cell(8, 8, QImage::Format_ARGB32_Premultiplied);
        cell.fill(s.bkMode == Opaque ? QColor(rgb(s.bkColor)) : QColor(Qt::transparent));
        const QRgb ink = color.rgba();
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool on = false;
                switch (brush.hatch) {
                case HsHorizontal:
                    on = y == 7;
                    break;
                case HsVertical:
                    on = x == 7;
                    break;
                case HsFDiagonal:
                    on = x == y;
                    break;
                case HsBDiagonal:
                    on = x == 7 - y;
                    break;
                case HsCross:
                    on = x == 7 || y == 7;
                    break;
                case HsDiagCross:
                    on = x == y || x == 7 - y;
                    break;
                default:
                    on = y == 7;
                    break;
                }
                if (on)
                    cell.setPixel(x, y, ink);
            }
        }
        return QBrush(cell);
    }
    case BsPattern:
    case BsDibPattern:
    case BsDibPatternPt:
    case BsPattern8x8:
    case BsDibPattern8x8:
    case BsMonoPattern:
        if (brush.pattern.isNull())
            return QBrush(color);
        if (brush.pattern.format() == QImage::Format_Mono) {
            // Monochrome patterns take the text colour for 0 bits and the background colour for 1 bits.
            QImage mono = brush.pattern;
            mono.setColor(0, rgb(s.textColor));
            mono.setColor(1, rgb(s.bkColor));
            return QBrush(mono);
        }
        return QBrush(brush.pattern);
    default:
        return QBrush(color);
    }
}

bool DeviceContext::Impl::beginRop2(QColor& color, bool& overrideColor)
{
    overrideColor = false;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (s.rop2) {
    case R2Nop:
        return false;
    case R2Black:
        color = Qt::black;
        overrideColor = true;
        break;
    case R2White:
        color = Qt::white;
        overrideColor = true;
        break;
    case R2Not:
        mode = QPainter::RasterOp_NotDestination;
        break;
    case R2XorPen:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case R2NotXorPen:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case R2MaskPen:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case R2MergePen:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case R2NotCopyPen:
        mode = QPainter::RasterOp_NotSource;
        break;
    case R2MaskPenNot:
        mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case R2MaskNotPen:
        mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
    case R2MergeNotPen:
        mode = QPainter::RasterOp_NotSourceOrDestination;
        break;
    case R2MergePenNot:
        mode = QPainter::RasterOp_SourceOrNotDestination;
        break;
    case R2NotMaskPen:
        mode = QPainter::RasterOp_NotSourceOrNotDestination;
        break;
    case R2NotMergePen:
        mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    default:
        break;
    }
    setComposition(painter, mode);
    return true;
}

void DeviceContext::Impl::paintPicturePath(const QPainterPath& picture, bool fill, bool stroke, const Brush* brush)
{
    const Brush& useBrush = brush ? *brush : s.brush;
    fill = fill && brushVisible(useBrush);
    stroke = stroke && penVisible();
    if (!fill && !stroke)
        return;
    applyClip();
    QColor override;
    bool overrideColor = false;
    if (!beginRop2(override, overrideColor))
        return;
    if (fill) {
        QBrush b = overrideColor ? QBrush(override) : qtBrush(useBrush);
        b.setTransform(QTransform::fromTranslate(s.brushOrg.x(), s.brushOrg.y()));
        painter.fillPath(tame(picture, false), b);
    }
    if (stroke) {
        QPen pen = this->pen();
        if (overrideColor)
            pen.setColor(override);
        const QPainterPath outline = tame(picture, true);
        QImage* target = pen.style() == Qt::SolidLine && pen.widthF() <= 1 ? directLineTarget(painter) : nullptr;
        if (!target || !drawPixelPath(*target, outline, pen.color().rgb()))
            painter.strokePath(outline, pen);
    }
    setComposition(painter, QPainter::CompositionMode_SourceOver);
}

void DeviceContext::Impl::drawShape(const QPainterPath& logical, bool fill, bool stroke)
{
    QPainterPath picture = transform().map(logical);
    picture.setFillRule(fillRule(s.polyFillMode));
    if (inPath) {
        if (path.elementCount() + picture.elementCount() <= int(kMaxPathPoints))
            path.addPath(picture);
        pathHasFigure = false;
        return;
    }
    paintPicturePath(picture, fill, stroke);
}
} // namespace store::gdi
