// Text output of the device context: fonts mapped to installed families, placed by the alignment rules.
#include "gdi_context_p.h"
#include "gdi_text.h"

#include <QFontMetricsF>
#include <QGlyphRun>
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

/**
 * The font's own glyphs at a pixel size. Kept between pictures: each raw font keeps its rendered glyphs, which
 * would otherwise be rendered again for every picture drawn.
 */
QRawFont rawFont(const QFont& font, double pixelSize)
{
    thread_local QHash<QString, QRawFont> cache;
    const QString key = font.key() + QLatin1Char('/') + QString::number(pixelSize, 'g', 10);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    if (cache.size() >= 64)
        cache.clear();
    QRawFont raw = QRawFont::fromFont(font);
    raw.setPixelSize(pixelSize);
    cache.insert(key, raw);
    return raw;
}

/** Where each character of a string placed character by character goes, and its glyph. */
struct PlacedCharacter {
    qsizetype index = 0; // in the string
    qsizetype length = 1; // UTF-16 units: 2 for a character beyond the 16-bit range
    QPointF origin; // on the baseline
};

/**
 * Draws characters at given places as one run of the font's own glyphs, as the system places them, without
 * shaping each alone. False, drawing nothing, when the font lacks a glyph for one of them (the caller then
 * draws them one by one, which lets Qt take the glyph from another font).
 */
bool drawGlyphRun(QPainter& painter, const QRawFont& raw, const QFont& font, const QString& string,
    const std::vector<PlacedCharacter>& placed)
{
    if (!raw.isValid())
        return false;
    const QList<quint32> glyphs = raw.glyphIndexesForString(string);
    if (glyphs.size() != qsizetype(placed.size())
        || std::any_of(glyphs.begin(), glyphs.end(), [](quint32 glyph) { return glyph == 0; }))
        return false;
    QList<QPointF> positions;
    positions.reserve(qsizetype(placed.size()));
    for (const PlacedCharacter& c : placed)
        positions.push_back(c.origin);
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(font.underline());
    run.setStrikeOut(font.strikeOut());
    painter.drawGlyphRun(QPointF(0, 0), run);
    return true;
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
            p.fillPath(pictureBox, QColor(d.rgb(s.bkColor)));
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
                QColor(d.rgb(s.bkColor)));
        p.setFont(font);
        p.setPen(QColor(d.rgb(s.textColor)));
        // Large or turned letters are drawn as outlines; smooth them as the system's font smoothing does.
        p.setRenderHint(QPainter::Antialiasing, true);
        if (!useDx && s.charExtra == 0) {
            p.drawText(QPointF(x, baseline), string);
        } else {
            std::vector<PlacedCharacter> placed;
            double at = x;
            double dyAt = 0;
            for (qsizetype i = 0; i < n;) {
                PlacedCharacter c;
                c.index = i;
                c.length = string[i].isHighSurrogate() && i + 1 < n ? 2 : 1;
                c.origin = QPointF(at, baseline + dyAt);
                for (qsizetype k = i; k < i + c.length; ++k) {
                    at += useDx ? advances[std::size_t(k)] : 0;
                    if (k < qsizetype(text.dy.size()))
                        dyAt -= text.dy[std::size_t(k)] * sy;
                }
                if (!useDx)
                    at += metrics.horizontalAdvance(string.mid(i, c.length)) + s.charExtra * sx;
                placed.push_back(c);
                i += c.length;
            }
            // A font narrowed or widened to the record's width is drawn by Qt alone, which knows the stretch.
            Impl::FontCache& cache = *d.fontCache;
            if (!cache.rawFont && (font.stretch() == QFont::AnyStretch || font.stretch() == QFont::Unstretched))
                cache.rawFont = rawFont(font, font.pointSizeF() * dpi / 72);
            if (!cache.rawFont || !drawGlyphRun(p, *cache.rawFont, font, string, placed)) {
                for (const PlacedCharacter& c : placed)
                    p.drawText(c.origin, string.mid(c.index, c.length));
            }
        }
        p.setRenderHint(QPainter::Antialiasing, false);
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
