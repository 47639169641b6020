#include "emf_player.h"

#include "dib.h"
#include "emf_records.h"
#include "gdi_context.h"
#include "gdi_text.h"
#include "platform/errors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace store::emf {

namespace {

using gdi::DeviceContext;

enum RecordType : std::uint32_t {
    EmrHeader = 1,
    EmrPolyBezier = 2,
    EmrPolygon = 3,
    EmrPolyline = 4,
    EmrPolyBezierTo = 5,
    EmrPolylineTo = 6,
    EmrPolyPolyline = 7,
    EmrPolyPolygon = 8,
    EmrSetWindowExtEx = 9,
    EmrSetWindowOrgEx = 10,
    EmrSetViewportExtEx = 11,
    EmrSetViewportOrgEx = 12,
    EmrSetBrushOrgEx = 13,
    EmrEof = 14,
    EmrSetPixelV = 15,
    EmrSetMapMode = 17,
    EmrSetBkMode = 18,
    EmrSetPolyFillMode = 19,
    EmrSetRop2 = 20,
    EmrSetStretchBltMode = 21,
    EmrSetTextAlign = 22,
    EmrSetTextColor = 24,
    EmrSetBkColor = 25,
    EmrOffsetClipRgn = 26,
    EmrMoveToEx = 27,
    EmrSetMetaRgn = 28,
    EmrExcludeClipRect = 29,
    EmrIntersectClipRect = 30,
    EmrScaleViewportExtEx = 31,
    EmrScaleWindowExtEx = 32,
    EmrSaveDc = 33,
    EmrRestoreDc = 34,
    EmrSetWorldTransform = 35,
    EmrModifyWorldTransform = 36,
    EmrSelectObject = 37,
    EmrCreatePen = 38,
    EmrCreateBrushIndirect = 39,
    EmrDeleteObject = 40,
    EmrAngleArc = 41,
    EmrEllipse = 42,
    EmrRectangle = 43,
    EmrRoundRect = 44,
    EmrArc = 45,
    EmrChord = 46,
    EmrPie = 47,
    EmrSelectPalette = 48,
    EmrCreatePalette = 49,
    EmrExtFloodFill = 53,
    EmrLineTo = 54,
    EmrArcTo = 55,
    EmrPolyDraw = 56,
    EmrSetArcDirection = 57,
    EmrSetMiterLimit = 58,
    EmrBeginPath = 59,
    EmrEndPath = 60,
    EmrCloseFigure = 61,
    EmrFillPath = 62,
    EmrStrokeAndFillPath = 63,
    EmrStrokePath = 64,
    EmrFlattenPath = 65,
    EmrWidenPath = 66,
    EmrSelectClipPath = 67,
    EmrAbortPath = 68,
    EmrGdiComment = 70,
    EmrFillRgn = 71,
    EmrFrameRgn = 72,
    EmrInvertRgn = 73,
    EmrPaintRgn = 74,
    EmrExtSelectClipRgn = 75,
    EmrBitBlt = 76,
    EmrStretchBlt = 77,
    EmrMaskBlt = 78,
    EmrPlgBlt = 79,
    EmrSetDiBitsToDevice = 80,
    EmrStretchDiBits = 81,
    EmrExtCreateFontIndirectW = 82,
    EmrExtTextOutA = 83,
    EmrExtTextOutW = 84,
    EmrPolyBezier16 = 85,
    EmrPolygon16 = 86,
    EmrPolyline16 = 87,
    EmrPolyBezierTo16 = 88,
    EmrPolylineTo16 = 89,
    EmrPolyPolyline16 = 90,
    EmrPolyPolygon16 = 91,
    EmrPolyDraw16 = 92,
    EmrCreateMonoBrush = 93,
    EmrCreateDibPatternBrushPt = 94,
    EmrExtCreatePen = 95,
    EmrPolyTextOutA = 96,
    EmrPolyTextOutW = 97,
    EmrSmallTextOut = 108,
    EmrAlphaBlend = 114,
    EmrTransparentBlt = 116,
    EmrGradientFill = 118,
};

constexpr std::uint32_t kStockFlag = 0x80000000;

/** A bitmap taken out of a record, with the orientation its source coordinates refer to. */
struct Bitmap {
    QImage image;
    bool bottomUp = true;
    QRgb firstColour = qRgb(0, 0, 0); // colour-table entry 0, which monochrome brushes draw in the text colour
};

class Player {
public:
    Player(DeviceContext& dc)
        : m_dc(dc)
        , m_lineRun(dc)
    {
    }

    void play(const Record& r);
    /** Draws what is still held back; called after the last record. */
    void finish() { m_lineRun.flush(); }

private:
    DeviceContext& m_dc;
    std::vector<QPointF> m_points;
    gdi::LineRun m_lineRun;

    /** Reads `count` points at `at` (16-bit when `small`); false when they do not all lie in the record. */
    bool readPoints(const Record& r, std::size_t at, std::uint32_t count, bool small)
    {
        const std::size_t each = small ? 4 : 8;
        if (count > r.size() / each || !r.has(at, std::size_t(count) * each))
            return false;
        m_points.resize(count);
        for (std::uint32_t i = 0; i < count; ++i)
            m_points[i] = small ? r.pointS(at + i * each) : r.pointL(at + i * each);
        return true;
    }

    void poly(const Record& r, bool small)
    {
        const std::uint32_t count = r.u32(24);
        if (!readPoints(r, 28, count, small))
            return;
        const std::span<const QPointF> pts(m_points);
        switch (r.type()) {
        case EmrPolyBezier:
        case EmrPolyBezier16:
            m_dc.polyBezier(pts);
            break;
        case EmrPolygon:
        case EmrPolygon16:
            m_dc.polygon(pts);
            break;
        case EmrPolyline:
        case EmrPolyline16:
            m_dc.polyline(pts);
            break;
        case EmrPolyBezierTo:
        case EmrPolyBezierTo16:
            m_dc.polyBezierTo(pts);
            break;
        case EmrPolylineTo:
        case EmrPolylineTo16:
            m_dc.polylineTo(pts);
            break;
        default:
            break;
        }
    }

    void polyPoly(const Record& r, bool small)
    {
        const std::uint32_t polys = r.u32(24);
        const std::uint32_t count = r.u32(28);
        if (polys > r.size() / 4 || !r.has(32, std::size_t(polys) * 4))
            return;
        std::vector<std::uint32_t> counts(polys);
        std::uint64_t total = 0;
        for (std::uint32_t i = 0; i < polys; ++i) {
            counts[i] = r.u32(32 + std::size_t(i) * 4);
            total += counts[i];
        }
        if (total > count)
            return;
        if (!readPoints(r, 32 + std::size_t(polys) * 4, count, small))
            return;
        if (r.type() == EmrPolyPolygon || r.type() == EmrPolyPolygon16)
            m_dc.polyPolygon(m_points, counts);
        else
            m_dc.polyPolyline(m_points, counts);
    }

    void polyDraw(const Record& r, bool small)
    {
        const std::uint32_t count = r.u32(24);
        if (!readPoints(r, 28, count, small))
            return;
        const ByteView types = r.bytes(28 + std::size_t(count) * (small ? 4 : 8), count);
        if (types.size() != count)
            return;
        m_dc.polyDraw(m_points, types);
    }

    /**
     * The bitmap that a record's (offset, size) pairs describe, or nullopt when it is absent or damaged. `usage`
     * is the record's DIB_RGB_COLORS (0) or DIB_PAL_COLORS (1): a colour table of indices into the palette.
     */
    [[nodiscard]] std::optional<Bitmap> bitmap(const Record& r, std::uint32_t usage, std::uint32_t offBmi,
        std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits, bool keepAlpha = false) const
    {
        const ByteView info = r.bytes(offBmi, cbBmi);
        const ByteView bits = r.bytes(offBits, cbBits);
        if (info.empty() || cbBmi == 0)
            return std::nullopt;
        try {
            dib::Header header = dib::parseHeader(info);
            if (usage == gdi::kDibPalColors)
                dib::usePaletteIndices(header, info, m_dc.logicalPalette());
            if (header.width <= 0 || header.height <= 0 || header.width > gdi::kMaxBitmapSide
                || header.height > gdi::kMaxBitmapSide)
                return std::nullopt;
            // A record of a few bytes must not make the player allocate a huge image: uncompressed pixels need
            // their bytes (a little may be missing), and nothing is larger than 64 megapixels.
            const double pixels = double(header.width) * header.height;
            const bool packed = header.compression == dib::Rgb || header.compression == dib::BitFields
                || header.compression == dib::AlphaBitFields;
            if (pixels > double(1 << 26)
                || (packed && pixels > double(bits.size()) * 8 / std::max(header.bitCount, 1) * 2 + 65536))
                return std::nullopt;
            const std::size_t length = dib::pixelDataLength(header, bits.size());
            Bitmap b;
            b.image = dib::decodePixels(header, bits.first(length), {keepAlpha});
            b.bottomUp = !header.topDown;
            if (!header.palette.empty())
                b.firstColour = header.palette.front();
            if (b.image.isNull())
                return std::nullopt;
            return b;
        } catch (const platform::AppError&) {
            return std::nullopt;
        }
    }

    /** The source rectangle in image rows from the top, given one in DIB coordinates. */
    static QRectF dibSourceRect(const Bitmap& b, double x, double y, double w, double h)
    {
        if (b.bottomUp)
            y = b.image.height() - y - h;
        return QRectF(x, y, w, h);
    }

    static gdi::Region region(const Record& r, std::size_t at, std::uint32_t length)
    {
        gdi::Region region;
        const ByteView data = r.bytes(at, length);
        if (data.size() < 32)
            return region;
        const Record rgn(0, data);
        const std::uint32_t headerSize = rgn.u32(0);
        const std::uint32_t count = rgn.u32(8);
        const std::size_t start = std::max<std::uint32_t>(headerSize, 32);
        if (start > data.size())
            return region;
        const std::size_t fit = std::min<std::size_t>(count, (data.size() - start) / 16);
        const std::size_t n = std::min(fit, gdi::kMaxRegionRects);
        region.rects.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t o = start + i * 16;
            const QRect rect(QPoint(rgn.i32(o), rgn.i32(o + 4)), QPoint(rgn.i32(o + 8) - 1, rgn.i32(o + 12) - 1));
            if (rect.isValid())
                region.rects.push_back(rect);
        }
        return region;
    }

    static QTransform xform(const Record& r, std::size_t at)
    {
        return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
    }

    void createFont(const Record& r)
    {
        gdi::Font f;
        f.height = r.i32(12);
        f.width = r.i32(16);
        f.escapement = r.i32(20);
        f.orientation = r.i32(24);
        f.weight = r.i32(28);
        f.italic = r.u8(32) != 0;
        f.underline = r.u8(33) != 0;
        f.strikeOut = r.u8(34) != 0;
        f.charSet = r.u8(35);
        f.pitchAndFamily = r.u8(39);
        QString face;
        for (std::size_t i = 0; i < 32; ++i) {
            const std::uint16_t c = r.u16(40 + i * 2);
            if (c == 0)
                break;
            face.append(QChar(c));
        }
        f.faceName = face;
        m_dc.setObject(r.u32(8), f);
    }

    void createPen(const Record& r)
    {
        gdi::Pen pen;
        pen.style = r.u32(12);
        pen.width = r.i32(16);
        pen.color = r.u32(24);
        m_dc.setObject(r.u32(8), pen);
    }

    void extCreatePen(const Record& r)
    {
        gdi::Pen pen;
        pen.extended = true;
        pen.style = r.u32(28);
        pen.width = r.u32(32);
        const std::uint32_t brushStyle = r.u32(36);
        pen.color = r.u32(40);
        if (brushStyle == gdi::BsNull)
            pen.style = (pen.style & ~std::uint32_t(gdi::PsStyleMask)) | gdi::PsNull;
        const std::uint32_t entries = r.u32(48);
        if ((pen.style & gdi::PsStyleMask) == gdi::PsUserStyle && entries <= 64 && r.has(52, entries * 4)) {
            for (std::uint32_t i = 0; i < entries; ++i)
                pen.dashes.push_back(r.u32(52 + i * 4));
        }
        m_dc.setObject(r.u32(8), pen);
    }

    void createBrush(const Record& r)
    {
        gdi::Brush brush;
        brush.style = r.u32(12);
        brush.color = r.u32(16);
        brush.hatch = r.u32(20);
        if (brush.style != gdi::BsSolid && brush.style != gdi::BsNull && brush.style != gdi::BsHatched)
            brush.style = gdi::BsSolid;
        m_dc.setObject(r.u32(8), brush);
    }

    void createPatternBrush(const Record& r, bool mono)
    {
        gdi::Brush brush;
        brush.style = gdi::BsDibPatternPt;
        if (auto b = bitmap(r, r.u32(12), r.u32(16), r.u32(20), r.u32(24), r.u32(28))) {
            QImage img = b->image;
            if (mono) {
                // Monochrome brushes draw with the text and background colours; keep them as two indices.
                QImage indexed(img.size(), QImage::Format_Indexed8);
                indexed.setColorCount(2);
                const QRgb zero = b->firstColour;
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        indexed.setPixel(x, y, (img.pixel(x, y) & 0xFFFFFF) == (zero & 0xFFFFFF) ? 0 : 1);
                img = indexed;
            }
            brush.pattern = img;
        }
        m_dc.setObject(r.u32(8), brush);
    }

    void createPalette(const Record& r)
    {
        gdi::Palette palette;
        const std::uint16_t count = r.u16(14);
        if (r.has(16, std::size_t(count) * 4)) {
            for (std::uint16_t i = 0; i < count; ++i)
                palette.entries.push_back(qRgb(r.u8(16 + i * 4), r.u8(17 + i * 4), r.u8(18 + i * 4)));
        }
        m_dc.setObject(r.u32(8), palette);
    }

    /** An EmrText block at `at`: reference point, string, options, rectangle, advances. */
    void emrText(const Record& r, std::size_t at, bool wide, int graphicsMode)
    {
        DeviceContext::TextOut t;
        t.reference = r.pointL(at);
        const std::uint32_t chars = r.u32(at + 8);
        const std::uint32_t offString = r.u32(at + 12);
        t.options = r.u32(at + 16);
        const QRectF rect = r.rectL(at + 20);
        const std::uint32_t offDx = r.u32(at + 36);
        if (chars > r.size())
            return;
        const ByteView text = r.bytes(offString, std::size_t(chars) * (wide ? 2 : 1));
        if (text.size() != std::size_t(chars) * (wide ? 2 : 1))
            return;
        if (wide) {
            t.text.reserve(chars);
            for (std::uint32_t i = 0; i < chars; ++i)
                t.text.append(QChar(platform::readLe16(text, i * 2)));
        } else {
            t.text = gdi::decodeText(text, m_dc.currentFont().charSet);
        }
        const bool pdy = (t.options & gdi::EtoPdy) != 0;
        const std::size_t dxBytes = std::size_t(chars) * (pdy ? 8 : 4);
        if (offDx != 0 && r.has(offDx, dxBytes)) {
            for (std::uint32_t i = 0; i < chars; ++i) {
                t.dx.push_back(r.i32(offDx + i * (pdy ? 8 : 4)));
                if (pdy)
                    t.dy.push_back(r.i32(offDx + i * 8 + 4));
            }
        }
        if (!(t.options & gdi::EtoNoRect) && (t.options & (gdi::EtoOpaque | gdi::EtoClipped)))
            t.rect = rect;
        m_dc.setGraphicsMode(graphicsMode);
        m_dc.textOut(t);
    }

    void smallTextOut(const Record& r)
    {
        DeviceContext::TextOut t;
        t.reference = r.pointL(8);
        const std::uint32_t chars = r.u32(16);
        t.options = r.u32(20);
        std::size_t at = 36;
        if (!(t.options & gdi::EtoNoRect)) {
            t.rect = r.rectL(36);
            at += 16;
        }
        const bool small = (t.options & gdi::EtoSmallChars) != 0;
        if (chars > r.size())
            return;
        const ByteView text = r.bytes(at, std::size_t(chars) * (small ? 1 : 2));
        if (text.size() != std::size_t(chars) * (small ? 1 : 2))
            return;
        if (small) {
            t.text = gdi::decodeText(text, m_dc.currentFont().charSet);
        } else {
            for (std::uint32_t i = 0; i < chars; ++i)
                t.text.append(QChar(platform::readLe16(text, i * 2)));
        }
        if (!(t.options & (gdi::EtoOpaque | gdi::EtoClipped)))
            t.rect.reset();
        m_dc.setGraphicsMode(int(r.u32(24)));
        m_dc.textOut(t);
    }

    void blit(const Record& r)
    {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const std::uint32_t rop = r.u32(40);
        const double xSrc = r.i32(44);
        const double ySrc = r.i32(48);
        double cxSrc = dest.width();
        double cySrc = dest.height();
        if (r.type() == EmrStretchBlt || r.type() == EmrAlphaBlend || r.type() == EmrTransparentBlt) {
            cxSrc = r.i32(100);
            cySrc = r.i32(104);
        }
        const std::uint32_t cbBmi = r.u32(88);
        if (cbBmi == 0) {
            if (r.type() == EmrBitBlt || r.type() == EmrStretchBlt)
                m_dc.stretchBlt(dest, nullptr, QRectF(), rop);
            return;
        }
        const bool alpha = r.type() == EmrAlphaBlend && (r.u8(43) & 1);
        const auto b = bitmap(r, r.u32(80), r.u32(84), cbBmi, r.u32(92), r.u32(96), alpha);
        if (!b)
            return;
        // These records address the source bitmap from its top row, as a device bitmap.
        const QRectF source(xSrc, ySrc, cxSrc, cySrc);
        switch (r.type()) {
        case EmrAlphaBlend:
            m_dc.alphaBlend(dest, b->image, source, r.u8(42), alpha);
            break;
        case EmrTransparentBlt:
            m_dc.transparentBlt(dest, b->image, source, rop);
            break;
        default:
            m_dc.stretchBlt(dest, &b->image, source, rop);
            break;
        }
    }

    void maskBlt(const Record& r)
    {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const auto b = bitmap(r, r.u32(80), r.u32(84), r.u32(88), r.u32(92), r.u32(96));
        if (!b)
            return;
        const auto mask = bitmap(r, r.u32(108), r.u32(112), r.u32(116), r.u32(120), r.u32(124));
        const QRectF source(r.i32(44), r.i32(48), dest.width(), dest.height());
        m_dc.maskBlt(dest, b->image, source, mask ? &mask->image : nullptr, QPoint(r.i32(100), r.i32(104)), r.u32(40));
    }

    void plgBlt(const Record& r)
    {
        const auto b = bitmap(r, r.u32(92), r.u32(96), r.u32(100), r.u32(104), r.u32(108));
        if (!b)
            return;
        const std::array<QPointF, 3> corners {r.pointL(24), r.pointL(32), r.pointL(40)};
        const QRectF source(r.i32(48), r.i32(52), r.i32(56), r.i32(60));
        const auto mask = bitmap(r, r.u32(120), r.u32(124), r.u32(128), r.u32(132), r.u32(136));
        m_dc.plgBlt(corners, b->image, source, mask ? &mask->image : nullptr, QPoint(r.i32(112), r.i32(116)));
    }

    void stretchDiBits(const Record& r)
    {
        const auto b = bitmap(r, r.u32(64), r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        const std::uint32_t rop = r.u32(68);
        const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        if (!b) {
            if (r.u32(52) == 0)
                m_dc.stretchBlt(dest, nullptr, QRectF(), rop);
            return;
        }
        const QRectF source = dibSourceRect(*b, r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        m_dc.stretchBlt(dest, &b->image, source, rop);
    }

    void setDiBitsToDevice(const Record& r)
    {
        const auto b = bitmap(r, r.u32(64), r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        if (!b)
            return;
        const double cx = r.i32(40);
        const double cy = r.i32(44);
        const QRectF dest(r.i32(24), r.i32(28), cx, cy);
        const QRectF source = dibSourceRect(*b, r.i32(32), r.i32(36), cx, cy);
        m_dc.stretchBlt(dest, &b->image, source, gdi::RopSrcCopy);
    }

    void gradientFill(const Record& r)
    {
        const std::uint32_t nVer = r.u32(24);
        const std::uint32_t nTri = r.u32(28);
        const std::uint32_t mode = r.u32(32);
        if (nVer > r.size() / 16 || !r.has(36, std::size_t(nVer) * 16))
            return;
        std::vector<gdi::TriVertex> vertices(nVer);
        for (std::uint32_t i = 0; i < nVer; ++i) {
            const std::size_t o = 36 + std::size_t(i) * 16;
            vertices[i] = {r.pointL(o), r.u16(o + 8), r.u16(o + 10), r.u16(o + 12), r.u16(o + 14)};
        }
        const std::size_t per = mode == gdi::GradientTriangle ? 3 : 2;
        const std::size_t at = 36 + std::size_t(nVer) * 16;
        if (nTri > r.size() / 4 || !r.has(at, std::size_t(nTri) * per * 4))
            return;
        std::vector<std::uint32_t> indices(std::size_t(nTri) * per);
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = r.u32(at + i * 4);
        m_dc.gradientFill(vertices, indices, mode);
    }

    std::optional<gdi::Brush> brush(std::uint32_t index) const
    {
        return m_dc.brushAt(index & ~kStockFlag, (index & kStockFlag) != 0);
    }
};

void Player::play(const Record& r)
{
    if (r.type() == EmrLineTo) {
        m_lineRun.add(r.pointL(8));
        return;
    }
    m_lineRun.flush();
    switch (r.type()) {
    case EmrHeader:
        m_dc.reserveObjects(r.u16(56));
        break;
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
        poly(r, false);
        break;
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16:
        poly(r, true);
        break;
    case EmrPolyPolyline:
    case EmrPolyPolygon:
        polyPoly(r, false);
        break;
    case EmrPolyPolyline16:
    case EmrPolyPolygon16:
        polyPoly(r, true);
        break;
    case EmrPolyDraw:
        polyDraw(r, false);
        break;
    case EmrPolyDraw16:
        polyDraw(r, true);
        break;
    case EmrSetWindowExtEx:
        m_dc.setWindowExt(r.i32(8), r.i32(12));
        break;
    case EmrSetWindowOrgEx:
        m_dc.setWindowOrg(r.i32(8), r.i32(12));
        break;
    case EmrSetViewportExtEx:
        m_dc.setViewportExt(r.i32(8), r.i32(12));
        break;
    case EmrSetViewportOrgEx:
        m_dc.setViewportOrg(r.i32(8), r.i32(12));
        break;
    case EmrSetBrushOrgEx:
        m_dc.setBrushOrg(r.pointL(8));
        break;
    case EmrSetPixelV:
        m_dc.setPixel(r.pointL(8), r.u32(16));
        break;
    case EmrExtFloodFill:
        m_dc.floodFill(r.pointL(8), r.u32(16), int(r.u32(20)));
        break;
    case EmrSetMapMode:
        m_dc.setMapMode(r.i32(8));
        break;
    case EmrSetBkMode:
        m_dc.setBkMode(r.i32(8));
        break;
    case EmrSetPolyFillMode:
        m_dc.setPolyFillMode(r.i32(8));
        break;
    case EmrSetRop2:
        m_dc.setRop2(r.i32(8));
        break;
    case EmrSetStretchBltMode:
        m_dc.setStretchBltMode(r.i32(8));
        break;
    case EmrSetTextAlign:
        m_dc.setTextAlign(r.u32(8));
        break;
    case EmrSetTextColor:
        m_dc.setTextColor(r.u32(8));
        break;
    case EmrSetBkColor:
        m_dc.setBkColor(r.u32(8));
        break;
    case EmrOffsetClipRgn:
        m_dc.offsetClipRegion(r.i32(8), r.i32(12));
        break;
    case EmrMoveToEx:
        m_dc.moveTo(r.pointL(8));
        break;
    case EmrSetMetaRgn:
        m_dc.setMetaRegion();
        break;
    case EmrExcludeClipRect:
        m_dc.excludeClipRect(r.rectL(8));
        break;
    case EmrIntersectClipRect:
        m_dc.intersectClipRect(r.rectL(8));
        break;
    case EmrScaleViewportExtEx:
        m_dc.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrScaleWindowExtEx:
        m_dc.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrSaveDc:
        m_dc.saveDc();
        break;
    case EmrRestoreDc:
        m_dc.restoreDc(r.i32(8));
        break;
    case EmrSetWorldTransform:
        m_dc.setWorldTransform(xform(r, 8));
        break;
    case EmrModifyWorldTransform:
        m_dc.modifyWorldTransform(xform(r, 8), int(r.u32(32)));
        break;
    case EmrSelectObject: {
        const std::uint32_t index = r.u32(8);
        if (index & kStockFlag)
            m_dc.selectStockObject(index & ~kStockFlag);
        else
            m_dc.selectObject(index);
        break;
    }
    case EmrCreatePen:
        createPen(r);
        break;
    case EmrExtCreatePen:
        extCreatePen(r);
        break;
    case EmrCreateBrushIndirect:
        createBrush(r);
        break;
    case EmrCreateMonoBrush:
        createPatternBrush(r, true);
        break;
    case EmrCreateDibPatternBrushPt:
        createPatternBrush(r, false);
        break;
    case EmrExtCreateFontIndirectW:
        createFont(r);
        break;
    case EmrCreatePalette:
        createPalette(r);
        break;
    case EmrSelectPalette:
        if (!(r.u32(8) & kStockFlag))
            m_dc.selectObject(r.u32(8));
        break;
    case EmrDeleteObject:
        if (!(r.u32(8) & kStockFlag))
            m_dc.deleteObject(r.u32(8));
        break;
    case EmrAngleArc:
        m_dc.angleArc(r.pointL(8), r.u32(16), r.f32(20), r.f32(24));
        break;
    case EmrEllipse:
        m_dc.ellipse(r.rectL(8));
        break;
    case EmrRectangle:
        m_dc.rectangle(r.rectL(8));
        break;
    case EmrRoundRect:
        m_dc.roundRect(r.rectL(8), r.i32(24), r.i32(28));
        break;
    case EmrArc:
        m_dc.arc(r.rectL(8), r.pointL(24), r.pointL(32));
        break;
    case EmrArcTo:
        m_dc.arcTo(r.rectL(8), r.pointL(24), r.pointL(32));
        break;
    case EmrChord:
        m_dc.chord(r.rectL(8), r.pointL(24), r.pointL(32));
        break;
    case EmrPie:
        m_dc.pie(r.rectL(8), r.pointL(24), r.pointL(32));
        break;
    case EmrSetArcDirection:
        m_dc.setArcDirection(r.i32(8));
        break;
    case EmrSetMiterLimit:
        m_dc.setMiterLimit(r.u32(8));
        break;
    case EmrBeginPath:
        m_dc.beginPath();
        break;
    case EmrEndPath:
        m_dc.endPath();
        break;
    case EmrCloseFigure:
        m_dc.closeFigure();
        break;
    case EmrFillPath:
        m_dc.fillPath();
        break;
    case EmrStrokeAndFillPath:
        m_dc.strokeAndFillPath();
        break;
    case EmrStrokePath:
        m_dc.strokePath();
        break;
    case EmrFlattenPath:
        m_dc.flattenPath();
        break;
    case EmrWidenPath:
        m_dc.widenPath();
        break;
    case EmrSelectClipPath:
        m_dc.selectClipPath(r.i32(8));
        break;
    case EmrAbortPath:
        m_dc.abortPath();
        break;
    case EmrFillRgn:
        if (auto b = brush(r.u32(28)))
            m_dc.fillRegion(region(r, 32, r.u32(24)), *b);
        break;
    case EmrFrameRgn:
        if (auto b = brush(r.u32(28)))
            m_dc.frameRegion(region(r, 40, r.u32(24)), *b, r.i32(32), r.i32(36));
        break;
    case EmrInvertRgn:
        m_dc.invertRegion(region(r, 28, r.u32(24)));
        break;
    case EmrPaintRgn:
        m_dc.paintRegion(region(r, 28, r.u32(24)));
        break;
    case EmrExtSelectClipRgn:
        m_dc.setClipRegion(region(r, 16, r.u32(8)), r.i32(12));
        break;
    case EmrBitBlt:
    case EmrStretchBlt:
    case EmrAlphaBlend:
    case EmrTransparentBlt:
        blit(r);
        break;
    case EmrMaskBlt:
        maskBlt(r);
        break;
    case EmrPlgBlt:
        plgBlt(r);
        break;
    case EmrStretchDiBits:
        stretchDiBits(r);
        break;
    case EmrSetDiBitsToDevice:
        setDiBitsToDevice(r);
        break;
    case EmrExtTextOutA:
    case EmrExtTextOutW:
        emrText(r, 36, r.type() == EmrExtTextOutW, r.i32(24));
        break;
    case EmrPolyTextOutA:
    case EmrPolyTextOutW: {
        const std::uint32_t strings = r.u32(36);
        for (std::uint32_t i = 0; i < strings && r.has(40 + std::size_t(i) * 40, 40); ++i)
            emrText(r, 40 + std::size_t(i) * 40, r.type() == EmrPolyTextOutW, r.i32(24));
        break;
    }
    case EmrSmallTextOut:
        smallTextOut(r);
        break;
    case EmrGradientFill:
        gradientFill(r);
        break;
    default:
        // Comments (EMF+ data included), colour management, OpenGL and other records draw nothing here.
        break;
    }
}

/**
 * Device pixels per millimetre of the header's reference device (its size in pixels and in millimetres), 96 per
 * inch when the header has none. The micrometre size of newer headers is not used: writers fill the millimetres
 * consistently with the way their records were scaled, and not always the micrometres.
 */
QPointF deviceResolution(const Header& h)
{
    auto one = [](int pixels, int millimetres) {
        if (pixels > 0 && millimetres > 0)
            return double(pixels) / millimetres;
        return 96 / 25.4;
    };
    return {one(h.devicePixels.width(), h.deviceMillimeters.width()),
        one(h.devicePixels.height(), h.deviceMillimeters.height())};
}

} // namespace

void play(ByteView emf, QPainter& painter, const QRectF& target)
{
    const Header header = parseHeader(emf);
    const QPointF resolution = deviceResolution(header);

    // The frame (0.01 mm) in reference-device pixels, mapped onto the target rectangle.
    const double left = header.frame.left() * resolution.x() / 100;
    const double top = header.frame.top() * resolution.y() / 100;
    const double right = (header.frame.right()) * resolution.x() / 100;
    const double bottom = (header.frame.bottom()) * resolution.y() / 100;
    if (right == left || bottom == top)
        return;
    const double sx = target.width() / (right - left);
    const double sy = target.height() / (bottom - top);
    const QTransform base(sx, 0, 0, sy, target.left() - left * sx, target.top() - top * sy);

    painter.save();
    {
        DeviceContext dc(painter);
        dc.setBaseTransform(base);
        dc.setDeviceResolution(resolution.x(), resolution.y());
        Player player(dc);
        RecordReader reader(emf.first(header.totalBytes));
        Record record;
        while (reader.next(record))
            player.play(record);
        player.finish();
    }
    painter.restore();
}

} // namespace store::emf
