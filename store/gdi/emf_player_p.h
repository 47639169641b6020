#pragma once

// The enhanced-metafile player's inner class, shared by its implementation files (one per family of records).

#include "emf_records.h"
#include "gdi_context.h"
#include "gdi_lines.h"

#include <QImage>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <vector>

namespace store::emf::detail {

using gdi::DeviceContext;

constexpr std::uint32_t kStockFlag = 0x80000000;

/** A bitmap taken out of a record, with the orientation its source coordinates refer to. */
struct Bitmap {
    QImage image;
    bool bottomUp = true;
};

/** Plays records one at a time onto a device context. */
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

    // Record families: each plays the records it knows and returns false for any other.
    bool playObjects(const Record& r);
    bool playState(const Record& r);
    bool playMapping(const Record& r);
    bool playClipping(const Record& r);
    bool playPaths(const Record& r);
    bool playDrawing(const Record& r);
    bool playShape(const Record& r);
    bool playRegions(const Record& r);
    bool playBitmaps(const Record& r);
    bool playText(const Record& r);

    /** Reads `count` points at `at` (16-bit when `small`); false when they do not all lie in the record. */
    bool readPoints(const Record& r, std::size_t at, std::uint32_t count, bool small);

    void poly(const Record& r, bool small);

    void polyPoly(const Record& r, bool small);

    void polyDraw(const Record& r, bool small);

    /**
     * The bitmap that a record's (offset, size) pairs describe, or nullopt when it is absent or damaged. `usage`
     * is the record's DIB_RGB_COLORS (0) or DIB_PAL_COLORS (1): a colour table of indices into the palette.
     * A `monochrome` 1-bit bitmap comes back as a Format_Mono image of its bits, whatever its colour table says.
     */
    [[nodiscard]] std::optional<Bitmap> bitmap(const Record& r, std::uint32_t usage, std::uint32_t offBmi,
        std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits, bool keepAlpha = false,
        bool monochrome = false) const;

    /** The source rectangle in image rows from the top, given one in DIB coordinates. */
    static QRectF dibSourceRect(const Bitmap& b, double x, double y, double w, double h);

    static gdi::Region region(const Record& r, std::size_t at, std::uint32_t length);

    static QTransform xform(const Record& r, std::size_t at);

    void createFont(const Record& r);

    void createPen(const Record& r);

    void extCreatePen(const Record& r);

    void createBrush(const Record& r);

    void createPatternBrush(const Record& r, bool mono);

    void createPalette(const Record& r);

    /** An EmrText block at `at`: reference point, string, options, rectangle, advances. */
    void emrText(const Record& r, std::size_t at, bool wide, int graphicsMode);

    void smallTextOut(const Record& r);

    void blit(const Record& r);

    void maskBlt(const Record& r);

    void plgBlt(const Record& r);

    void stretchDiBits(const Record& r);

    void setDiBitsToDevice(const Record& r);

    void gradientFill(const Record& r);

    std::optional<gdi::Brush> brush(std::uint32_t index) const;
};

} // namespace store::emf::detail
