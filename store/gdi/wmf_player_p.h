#pragma once

// The Windows-metafile player's inner class, shared by its implementation files: the record loop, the object
// records and the bitmap records.

#include "gdi_context.h"
#include "wmf_records.h"

#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <variant>
#include <vector>

namespace store::wmf::detail {

/** A rectangle stored as bottom, right, top, left from word `at`. */
inline QRectF boxAt(const Params& p, std::size_t at)
{
    const double bottom = p.s16(at), right = p.s16(at + 1), top = p.s16(at + 2), left = p.s16(at + 3);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

/** A point stored as y, x from word `at`. */
inline QPointF pointYx(const Params& p, std::size_t at)
{
    return QPointF(p.s16(at + 1), p.s16(at));
}

inline gdi::ColorRef colorAt(const Params& p, std::size_t at)
{
    return p.u32(at) & 0x00FFFFFF;
}

/** `count` points stored as x, y pairs from word `at`, cut to what the record holds. */
inline std::vector<QPointF> pointsXy(const Params& p, std::size_t at, std::size_t count)
{
    const std::size_t available = p.words() > at ? (p.words() - at) / 2 : 0;
    count = std::min(count, available);
    std::vector<QPointF> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        points.emplace_back(p.s16(at + 2 * i), p.s16(at + 2 * i + 1));
    return points;
}

class Player {
public:
    explicit Player(gdi::DeviceContext& dc)
        : m_dc(dc)
        , m_lineRun(dc)
    {
    }

    void play(const Record& record);
    /** Draws what is still held back; called after the last record. */
    void finish() { m_lineRun.flush(); }

private:
    /**
     * Windows puts every new object in the lowest free slot; one we cannot decode fully still takes its slot
     * (as a stand-in) so that later indices keep pointing where the writer meant. The free slots are kept
     * here, sorted, so that a file of many objects does not cost a search through the table for each.
     */
    void createObject(gdi::Object object);
    void deleteObject(std::uint16_t slot);

    // Record families: each plays the records it knows and returns false for any other.
    bool playState(const Record& record);
    bool playObjects(const Record& record);
    bool playClipping(const Record& record);
    bool playShapes(const Record& record);
    bool playOutput(const Record& record);

    void createPen(const Params& p);
    void createBrush(const Params& p);
    void createPatternBrush(const Params& p, bool dib);
    void createFont(const Params& p);
    void createPalette(const Params& p);
    void createRegion(const Params& p);
    void polyPolygon(const Params& p);
    void textOut(const Params& p);
    void extTextOut(const Params& p);
    void blit(const Record& record);
    void setDibToDev(const Params& p);
    void stretchDib(const Params& p);
    void regionRecord(const Record& record);
    [[nodiscard]] const gdi::Region* regionAt(std::uint16_t index) const
    {
        return std::get_if<gdi::Region>(m_dc.object(index));
    }

    /** The palette a bitmap's colour table indexes under a record's colour usage; empty for plain colours. */
    [[nodiscard]] std::span<const QRgb> indexedPalette(std::uint16_t colorUsage) const
    {
        return colorUsage == gdi::kDibPalColors ? m_dc.logicalPalette() : std::span<const QRgb>();
    }

    gdi::DeviceContext& m_dc;
    gdi::LineRun m_lineRun;
    std::set<std::uint32_t> m_freeSlots;
    std::uint32_t m_nextSlot = 0;
};

} // namespace store::wmf::detail
