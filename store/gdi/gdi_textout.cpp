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
    QFont q;
    q.setFamilies(mapFontFamilies(f.faceName));
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

const DeviceContext::Impl::FontCache& DeviceContext::Impl::textFont(double heightPx, double widthPx)
{
    const QPaintDevice* device = painter.device();
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    if (!fontCache || !(fontCache->font == s.font) || fontCache->height != heightPx || fontCache->width != widthPx
        || fontCache->dpi != dpi) {
        FontCache cache;
        cache.font = s.font;
        cache.height = heightPx;
        cache.width = widthPx;
        cache.dpi = dpi;
        cache.qfont = makeFont(s.font, heightPx, widthPx, dpi);
        cache.metrics.emplace(cache.qfont);
        fontCache = std::move(cache);
    }
    return *fontCache;
}

std::optional<TextRun> DeviceContext::Impl::layoutText(const DeviceContext::TextOut& text)
{
    const QTransform& m = transform();
    const bool updateCp = (s.textAlign & TaUpdateCp) != 0;
    TextRun run;
    // Directions of the logical axes in picture pixels; text stands upright along the x direction.
    const QPointF origin = m.map(QPointF(0, 0));
    const QPointF ux = m.map(QPointF(1, 0)) - origin;
    run.sx = std::hypot(ux.x(), ux.y());
    run.sy = scaleY();
    if (!(run.sx > 0) || !(run.sy > 0) || !std::isfinite(run.sx) || !std::isfinite(run.sy))
        return std::nullopt;
    const QPointF ref = m.map(updateCp ? s.position : text.reference);
    if (!reachRect().contains(ref))
        return std::nullopt; // far outside the picture: nothing of it could show

    double heightPx = s.font.height * run.sy;
    if (s.font.height == 0)
        heightPx = -12 * 96 / 72.0 * std::sqrt(std::abs(base.determinant()));
    // Letters far larger than the picture show as a blot at best; keep them to a size that draws quickly.
    const QRectF picture = pictureRect();
    const double largest = 2 * (picture.width() + picture.height()) + 16;
    heightPx = std::clamp(heightPx, -largest, largest);
    const double widthPx = std::min(std::abs(s.font.width) * run.sx, largest);
    const QFontMetricsF& metrics = *textFont(heightPx, widthPx).metrics;

    const bool symbol = s.font.charSet == 2;
    run.string = symbol ? mapSymbolText(text.text) : text.text;
    measureText(text, run, metrics);

    double angle = std::atan2(ux.y(), ux.x()) * 180 / M_PI;
    if (ux.x() < 0 && s.graphicsMode == 1)
        angle += 180; // a mirrored page still shows text left to right
    angle -= s.font.escapement / 10.0;
    run.place.translate(ref.x(), ref.y());
    run.place.rotate(angle);
    alignText(run, metrics);
    return run;
}

void DeviceContext::Impl::measureText(const DeviceContext::TextOut& text, TextRun& run, const QFontMetricsF& metrics)
{
    // Advances in picture pixels, one per UTF-16 unit.
    const qsizetype n = run.string.size();
    run.useDx = !text.dx.empty();
    if (run.useDx) {
        run.advances.reserve(std::size_t(n));
        for (qsizetype i = 0; i < n; ++i)
            run.advances.push_back(i < qsizetype(text.dx.size()) ? text.dx[std::size_t(i)] * run.sx : 0);
        run.width = std::accumulate(run.advances.begin(), run.advances.end(), 0.0);
    } else {
        run.width = metrics.horizontalAdvance(run.string) + double(s.charExtra) * run.sx * double(n);
    }
}

void DeviceContext::Impl::alignText(TextRun& run, const QFontMetricsF& metrics) const
{
    switch (s.textAlign & TaHorizontalMask) {
    case TaRight:
        run.x = -run.width;
        break;
    case TaCenter:
        run.x = -run.width / 2;
        break;
    default:
        run.x = 0;
        break;
    }
    switch (s.textAlign & TaVerticalMask) {
    case TaBaseline:
        run.baseline = 0;
        break;
    case TaBottom:
        run.baseline = -metrics.descent();
        break;
    default:
        run.baseline = metrics.ascent();
        break;
    }
}

void DeviceContext::Impl::paintTextBox(const DeviceContext::TextOut& text)
{
    if (!text.rect || !(text.options & (EtoOpaque | EtoClipped)))
        return;
    QPainterPath box;
    box.addRect(text.rect->normalized());
    const QPainterPath pictureBox = transform().map(box);
    if (text.options & EtoOpaque)
        painter.fillPath(pictureBox, QColor(rgb(s.bkColor)));
    if (text.options & EtoClipped) {
        painter.setClipPath(pictureBox, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        clipChanged();
    }
}

void DeviceContext::Impl::drawTextRun(const DeviceContext::TextOut& text, const TextRun& run)
{
    const QFont& font = fontCache->qfont;
    const QFontMetricsF& metrics = *fontCache->metrics;
    QPainter& p = painter;
    p.setTransform(run.place);
    if (s.bkMode == Opaque)
        p.fillRect(QRectF(run.x, run.baseline - metrics.ascent(), run.width, metrics.ascent() + metrics.descent()),
            QColor(rgb(s.bkColor)));
    p.setFont(font);
    p.setPen(QColor(rgb(s.textColor)));
    // Large or turned letters are drawn as outlines; smooth them as the system's font smoothing does.
    p.setRenderHint(QPainter::Antialiasing, true);
    if (!run.useDx && s.charExtra == 0) {
        p.drawText(QPointF(run.x, run.baseline), run.string);
    } else {
        const std::vector<PlacedCharacter> placed = placeCharacters(text, run);
        // A font narrowed or widened to the record's width is drawn by Qt alone, which knows the stretch.
        FontCache& cache = *fontCache;
        if (!cache.rawFont && (font.stretch() == QFont::AnyStretch || font.stretch() == QFont::Unstretched))
            cache.rawFont = rawFont(font, font.pointSizeF() * cache.dpi / 72);
        if (!cache.rawFont || !drawGlyphRun(p, *cache.rawFont, font, run.string, placed)) {
            for (const PlacedCharacter& c : placed)
                p.drawText(c.origin, run.string.mid(c.index, c.length));
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.resetTransform();
}

std::vector<PlacedCharacter> DeviceContext::Impl::placeCharacters(
    const DeviceContext::TextOut& text, const TextRun& run) const
{
    const QString& string = run.string;
    const qsizetype n = string.size();
    std::vector<PlacedCharacter> placed;
    double at = run.x;
    double dyAt = 0;
    for (qsizetype i = 0; i < n;) {
        PlacedCharacter c;
        c.index = i;
        c.length = string[i].isHighSurrogate() && i + 1 < n ? 2 : 1;
        c.origin = QPointF(at, run.baseline + dyAt);
        for (qsizetype k = i; k < i + c.length; ++k) {
            at += run.useDx ? run.advances[std::size_t(k)] : 0;
            if (k < qsizetype(text.dy.size()))
                dyAt -= text.dy[std::size_t(k)] * run.sy;
        }
        if (!run.useDx)
            at += fontCache->metrics->horizontalAdvance(string.mid(i, c.length)) + s.charExtra * run.sx;
        placed.push_back(c);
        i += c.length;
    }
    return placed;
}

void DeviceContext::textOut(const TextOut& text)
{
    // Fonts come from the font database, which exists only inside a GUI application; without one text is left out
    // rather than crashing the caller.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    Impl& d = *m_impl;
    const std::optional<TextRun> run = d.layoutText(text);
    if (!run)
        return;
    d.applyClip();
    d.paintTextBox(text);
    // Glyph indices name glyphs of the writer's font, which is not the one drawn here; rather than show the wrong
    // letters, such text is left out (its opaque box is still painted).
    if (!run->string.isEmpty() && !(text.options & EtoGlyphIndex))
        d.drawTextRun(text, *run);

    if (d.s.textAlign & TaUpdateCp) {
        // The current position moves along by the string's width, in logical units, for left and right alignment.
        const double logicalWidth = run->width / run->sx;
        switch (d.s.textAlign & TaHorizontalMask) {
        case TaRight:
            d.s.position.rx() -= logicalWidth;
            break;
        case TaCenter:
            break;
        default:
            d.s.position.rx() += logicalWidth;
            break;
        }
    }
}

} // namespace store::gdi
