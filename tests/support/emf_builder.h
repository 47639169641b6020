#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testing_support {

/**
 * Writes small enhanced metafiles for tests, record by record. The header's frame gives a picture of the size
 * asked for, and its reference device has 96 pixels per inch, so in the default mapping one logical unit is one
 * picture pixel. finish() adds the EOF record and fills in the header's totals.
 */
class EmfBuilder {
public:
    explicit EmfBuilder(QSize pixels);

    /** Any record: its type and its parameters as 32-bit values. */
    EmfBuilder& record(std::uint32_t type, std::initializer_list<std::int32_t> params);
    /** Any record: its type and its parameter bytes (padded to 4 bytes). */
    EmfBuilder& raw(std::uint32_t type, const QByteArray& params);

    EmfBuilder& createPen(std::uint32_t handle, std::uint32_t style, int width, std::uint32_t colorRef);
    EmfBuilder& createBrush(std::uint32_t handle, std::uint32_t style, std::uint32_t colorRef, std::uint32_t hatch = 0);
    /** EXTCREATEFONTINDIRECTW with the given height (negative = character height), weight and face. */
    EmfBuilder& createFont(std::uint32_t handle, int height, const QString& face, int weight = 400,
        std::uint8_t charSet = 1, int escapement = 0);
    EmfBuilder& select(std::uint32_t handle);
    EmfBuilder& deleteObject(std::uint32_t handle);
    EmfBuilder& rectangle(const QRect& box);
    EmfBuilder& ellipse(const QRect& box);
    EmfBuilder& polygon16(const std::vector<QPoint>& points);
    EmfBuilder& polyline(const std::vector<QPoint>& points);
    EmfBuilder& moveTo(QPoint p);
    EmfBuilder& lineTo(QPoint p);
    EmfBuilder& saveDc();
    EmfBuilder& restoreDc(int relative);
    EmfBuilder& setMapMode(int mode);
    EmfBuilder& setWindowOrg(QPoint p);
    EmfBuilder& setWindowExt(QSize s);
    EmfBuilder& setViewportOrg(QPoint p);
    EmfBuilder& setViewportExt(QSize s);
    EmfBuilder& intersectClipRect(const QRect& box);
    EmfBuilder& excludeClipRect(const QRect& box);
    EmfBuilder& setTextAlign(std::uint32_t align);
    EmfBuilder& setTextColor(std::uint32_t colorRef);
    EmfBuilder& setBkMode(int mode);
    EmfBuilder& setBkColor(std::uint32_t colorRef);
    /**
     * CREATEMONOBRUSH (type 93) or CREATEDIBPATTERNBRUSHPT (94) with a packed DIB whose first `infoBytes` bytes are
     * the info header and colour table; `usage` is the record's colour usage (0 RGB, 1 palette, 2 no table).
     */
    EmfBuilder& patternBrush(
        std::uint32_t type, std::uint32_t handle, std::uint32_t usage, const QByteArray& packedDib, int infoBytes);
    /** EXTTEXTOUTW at `reference`, with per-character advances when `dx` is not empty. */
    EmfBuilder& textOutW(QPoint reference, const QString& text, const std::vector<int>& dx = {});
    /** EXTTEXTOUTA with the bytes as given. */
    EmfBuilder& textOutA(QPoint reference, const QByteArray& text);
    /** STRETCHDIBITS drawing all of `image` (as a 24-bit bottom-up DIB) into `dest` with a raster operation. */
    EmfBuilder& stretchDiBits(const QRect& dest, const QImage& image, std::uint32_t rop = 0x00CC0020);
    /** SETWORLDTRANSFORM (mode 0) or MODIFYWORLDTRANSFORM with the given mode. */
    EmfBuilder& worldTransform(float m11, float m12, float m21, float m22, float dx, float dy, int modifyMode = 0);

    /** The whole metafile, EOF record included. */
    [[nodiscard]] QByteArray finish() const;

    /** Logical units per picture pixel are 1; colours are 0x00BBGGRR. */
    [[nodiscard]] static std::uint32_t colorRef(int r, int g, int b) { return std::uint32_t(r | (g << 8) | (b << 16)); }

private:
    QByteArray m_records;
    QSize m_pixels;
    std::uint32_t m_count = 1; // the header
    std::uint32_t m_handles = 1;
};

/** Puts little-endian values into a byte array. */
void putLe32(QByteArray& out, std::uint32_t value);
void putLe16(QByteArray& out, std::uint16_t value);

} // namespace testing_support
