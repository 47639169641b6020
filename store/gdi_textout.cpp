// Text output of the device context: fonts mapped to installed families, placed by the alignment rules.
#include "gdi_context_p.h"
#include "gdi_text.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>

#include <cmath>
#include <numeric>

namespace store::gdi {

namespace {

/** Em size per unit of cell height (ascent + descent) for a family, measured once. */
double emPerCellHeight(const QFont& font)
{
    thread_local QHash<QString, double> cache;
    const QString key = font.family() + QLatin1Char('/') + QString::number(font.weight()) + (font.italic() ? "i" : "");
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QFont probe(font);
    probe.setPixelSize(100);
    const QFontMetricsF m(probe);
    const double cell = m.ascent() + m.descent();
    const double ratio = cell > 0 ? 100 / cell : 1;
    cache.insert(key, ratio);
    return ratio;
}

QFont makeFont(const Font& f, double heightPixels, double widthPixels, double dpi)
{
    QFont q(mapFontFamily(f.faceName));
    q.setStyleStrategy(QFont::PreferAntialias);
    q.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
    q.setItalic(f.italic);
    q.setUnderline(f.underline);
    q.setStrikeOut(f.strikeOut);
    q.setKerning(true);
    double em = std::abs(heightPixels);
    if (heightPixels > 0)
        em *= emPerCellHeight(q);
    em = std::clamp(em, 0.5, 20000.0);
    q.setPointSizeF(em * 72 / dpi);
    if (widthPixels > 0) {
        const QFontMetricsF m(q);
        const double natural = m.averageCharWidth();
        if (natural > 0)
            q.setStretch(std::clamp(int(std::lround(widthPixels / natural * 100)), 1, 4000));
    }
    return q;
}

} // namespace

void DeviceContext::textOut(const TextOut& text)
{
    // Fonts come from the font database, which exists only inside a GUI application; without one text is left out
    // rather than crashing the caller.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    Impl& d = *m_impl;
    State& s = d.s;
    const QTransform& m = d.transform();
    const bool updateCp = (s.textAlign & TaUpdateCp) != 0;
    const QPointF referenceLogical = updateCp ? s.position : text.reference;

    // Directions of the logical axes in picture pixels; text stands upright along the x direction.
    const QPointF origin = m.map(QPointF(0, 0));
    const QPointF ux = m.map(QPointF(1, 0)) - origin;
    const double sx = std::hypot(ux.x(), ux.y());
    const double sy = d.scaleY();
    if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx) || !std::isfinite(sy))
        return;

    const QPointF ref = m.map(referenceLogical);
    if (!d.reachRect().contains(ref))
        return; // far outside the picture: nothing of it could show
    double heightPx = s.font.height * sy;
    if (s.font.height == 0)
        heightPx = -12 * 96 / 72.0 * std::sqrt(std::abs(d.base.determinant()));
    // Letters far larger than the picture show as a blot at best; keep them to a size that draws quickly.
    const QRectF picture = d.pictureRect();
    const double largest = 2 * (picture.width() + picture.height()) + 16;
    heightPx = std::clamp(heightPx, -largest, largest);
    const double widthPx = std::min(std::abs(s.font.width) * sx, largest);
    const QPaintDevice* device = d.painter.device();
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    if (!d.fontCache || !(d.fontCache->font == s.font) || d.fontCache->height != heightPx
        || d.fontCache->width != widthPx || d.fontCache->dpi != dpi) {
        Impl::FontCache cache;
        cache.font = s.font;
        cache.height = heightPx;
        cache.width = widthPx;
        cache.dpi = dpi;
        cache.qfont = makeFont(s.font, heightPx, widthPx, dpi);
        cache.metrics.emplace(cache.qfont);
        d.fontCache = std::move(cache);
    }
    const QFont& font = d.fontCache->qfont;
    const QFontMetricsF& metrics = *d.fontCache->metrics;

    const bool symbol = s.font.charSet == 2;
    const QString string = symbol ? mapSymbolText(text.text) : text.text;

    // Advances in picture pixels, one per UTF-16 unit.
    std::vector<double> advances;
    const qsizetype n = string.size();
    const bool useDx = !text.dx.empty();
    if (useDx) {
        advances.reserve(std::size_t(n));
        for (qsizetype i = 0; i < n; ++i)
            advances.push_back(i < qsizetype(text.dx.size()) ? text.dx[std::size_t(i)] * sx : 0);
    }
    double width = 0;
    if (useDx)
        width = std::accumulate(advances.begin(), advances.end(), 0.0);
    else
        width = metrics.horizontalAdvance(string) + double(s.charExtra) * sx * double(n);

    double angle = std::atan2(ux.y(), ux.x()) * 180 / M_PI;
    if (ux.x() < 0 && s.graphicsMode == 1)
        angle += 180; // a mirrored page still shows text left to right
    angle -= s.font.escapement / 10.0;

    double x = 0;
    switch (s.textAlign & TaHorizontalMask) {
    case TaRight:
        x = -width;
        break;
    case TaCenter:
        x = -width / 2;
        break;
    default:
        break;
    }
    double baseline = 0;
    switch (s.textAlign & TaVerticalMask) {
    case TaBaseline:
        break;
    case TaBottom:
        baseline = -metrics.descent();
        break;
    default:
        baseline = metrics.ascent();
        break;
    }

    QTransform place;
    place.translate(ref.x(), ref.y());
    place.rotate(angle);

    d.applyClip();
    QPainter& p = d.painter;
    if (text.rect && (text.options & (EtoOpaque | EtoClipped))) {
        QPainterPath box;
        box.addRect(text.rect->normalized());
        const QPainterPath pictureBox = m.map(box);
        if (text.options & EtoOpaque)
            p.fillPath(pictureBox, QColor(toQRgb(s.bkColor)));
        if (text.options & EtoClipped) {
            p.setClipPath(pictureBox, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
            d.clipChanged();
        }
    }
    // Glyph indices name glyphs of the writer's font, which is not the one drawn here; rather than show the wrong
    // letters, such text is left out (its opaque box is still painted).
    if (n > 0 && !(text.options & EtoGlyphIndex)) {
        p.setTransform(place);
        if (s.bkMode == Opaque)
            p.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                QColor(toQRgb(s.bkColor)));
        p.setFont(font);
        p.setPen(QColor(toQRgb(s.textColor)));
        if (!useDx && s.charExtra == 0) {
            p.drawText(QPointF(x, baseline), string);
        } else {
            double at = x;
            double dyAt = 0;
            for (qsizetype i = 0; i < n; ++i) {
                qsizetype len = 1;
                if (string[i].isHighSurrogate() && i + 1 < n)
                    len = 2;
                const QString glyph = string.mid(i, len);
                p.drawText(QPointF(at, baseline + dyAt), glyph);
                for (qsizetype k = 0; k < len; ++k) {
                    at += useDx ? advances[std::size_t(i + k)] : 0;
                    if (i + k < qsizetype(text.dy.size()))
                        dyAt -= text.dy[std::size_t(i + k)] * sy;
                }
                if (!useDx)
                    at += metrics.horizontalAdvance(glyph) + s.charExtra * sx;
                i += len - 1;
            }
        }
        p.resetTransform();
    }

    if (updateCp) {
        const double logicalWidth = width / sx;
        double advance = 0;
        switch (s.textAlign & TaHorizontalMask) {
        case TaRight:
            advance = -logicalWidth;
            break;
        case TaCenter:
            break;
        default:
            advance = logicalWidth;
            break;
        }
        s.position.rx() += advance;
    }
}

} // namespace store::gdi
