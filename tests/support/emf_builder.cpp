#include "emf_builder.h"

#include "bmp_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace testing_support {

void putLe32(QByteArray& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void putLe16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

EmfBuilder::EmfBuilder(QSize pixels)
    : m_pixels(pixels)
{
}

EmfBuilder& EmfBuilder::raw(std::uint32_t type, const QByteArray& params)
{
    QByteArray padded = params;
    while (padded.size() % 4)
        padded.append('\0');
    putLe32(m_records, type);
    putLe32(m_records, std::uint32_t(8 + padded.size()));
    m_records.append(padded);
    ++m_count;
    return *this;
}

EmfBuilder& EmfBuilder::record(std::uint32_t type, std::initializer_list<std::int32_t> params)
{
    QByteArray bytes;
    for (std::int32_t v : params)
        putLe32(bytes, std::uint32_t(v));
    return raw(type, bytes);
}

EmfBuilder& EmfBuilder::createPen(std::uint32_t handle, std::uint32_t style, int width, std::uint32_t colorRef)
{
    m_handles = std::max(m_handles, handle + 1);
    return record(38, {std::int32_t(handle), std::int32_t(style), width, 0, std::int32_t(colorRef)});
}

EmfBuilder& EmfBuilder::createBrush(
    std::uint32_t handle, std::uint32_t style, std::uint32_t colorRef, std::uint32_t hatch)
{
    m_handles = std::max(m_handles, handle + 1);
    return record(39, {std::int32_t(handle), std::int32_t(style), std::int32_t(colorRef), std::int32_t(hatch)});
}

EmfBuilder& EmfBuilder::createFont(
    std::uint32_t handle, int height, const QString& face, int weight, std::uint8_t charSet, int escapement)
{
    m_handles = std::max(m_handles, handle + 1);
    QByteArray b;
    putLe32(b, handle);
    putLe32(b, std::uint32_t(height));
    putLe32(b, 0); // width
    putLe32(b, std::uint32_t(escapement));
    putLe32(b, std::uint32_t(escapement)); // orientation
    putLe32(b, std::uint32_t(weight));
    b.append(char(0)).append(char(0)).append(char(0)).append(char(charSet)); // italic, underline, strike-out, set
    b.append(4, '\0'); // precisions, quality, pitch and family
    for (int i = 0; i < 32; ++i)
        putLe16(b, i < face.size() ? face[i].unicode() : 0);
    return raw(82, b);
}

EmfBuilder& EmfBuilder::setBkColor(std::uint32_t colorRef)
{
    return record(25, {std::int32_t(colorRef)});
}

EmfBuilder& EmfBuilder::patternBrush(
    std::uint32_t type, std::uint32_t handle, std::uint32_t usage, const QByteArray& packedDib, int infoBytes)
{
    m_handles = std::max(m_handles, handle + 1);
    constexpr std::uint32_t kFixed = 32; // type, size and six fields; the DIB follows
    QByteArray b;
    putLe32(b, handle);
    putLe32(b, usage);
    putLe32(b, kFixed);
    putLe32(b, std::uint32_t(infoBytes));
    putLe32(b, kFixed + std::uint32_t(infoBytes));
    putLe32(b, std::uint32_t(packedDib.size() - infoBytes));
    return raw(type, b + packedDib);
}

EmfBuilder& EmfBuilder::select(std::uint32_t handle)
{
    return record(37, {std::int32_t(handle)});
}

EmfBuilder& EmfBuilder::deleteObject(std::uint32_t handle)
{
    return record(40, {std::int32_t(handle)});
}

EmfBuilder& EmfBuilder::rectangle(const QRect& box)
{
    return record(43, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
}

EmfBuilder& EmfBuilder::ellipse(const QRect& box)
{
    return record(42, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
}

EmfBuilder& EmfBuilder::polygon16(const std::vector<QPoint>& points)
{
    QByteArray b;
    b.append(16, '\0'); // bounds
    putLe32(b, std::uint32_t(points.size()));
    for (const QPoint& p : points) {
        putLe16(b, std::uint16_t(p.x()));
        putLe16(b, std::uint16_t(p.y()));
    }
    return raw(86, b);
}

EmfBuilder& EmfBuilder::polyline(const std::vector<QPoint>& points)
{
    QByteArray b;
    b.append(16, '\0');
    putLe32(b, std::uint32_t(points.size()));
    for (const QPoint& p : points) {
        putLe32(b, std::uint32_t(p.x()));
        putLe32(b, std::uint32_t(p.y()));
    }
    return raw(4, b);
}

EmfBuilder& EmfBuilder::moveTo(QPoint p)
{
    return record(27, {p.x(), p.y()});
}

EmfBuilder& EmfBuilder::lineTo(QPoint p)
{
    return record(54, {p.x(), p.y()});
}

EmfBuilder& EmfBuilder::saveDc()
{
    return record(33, {});
}

EmfBuilder& EmfBuilder::restoreDc(int relative)
{
    return record(34, {relative});
}

EmfBuilder& EmfBuilder::setMapMode(int mode)
{
    return record(17, {mode});
}

EmfBuilder& EmfBuilder::setWindowOrg(QPoint p)
{
    return record(10, {p.x(), p.y()});
}

EmfBuilder& EmfBuilder::setWindowExt(QSize s)
{
    return record(9, {s.width(), s.height()});
}

EmfBuilder& EmfBuilder::setViewportOrg(QPoint p)
{
    return record(12, {p.x(), p.y()});
}

EmfBuilder& EmfBuilder::setViewportExt(QSize s)
{
    return record(11, {s.width(), s.height()});
}

EmfBuilder& EmfBuilder::intersectClipRect(const QRect& box)
{
    return record(30, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
}

EmfBuilder& EmfBuilder::excludeClipRect(const QRect& box)
{
    return record(29, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
}

EmfBuilder& EmfBuilder::setTextAlign(std::uint32_t align)
{
    return record(22, {std::int32_t(align)});
}

EmfBuilder& EmfBuilder::setTextColor(std::uint32_t colorRef)
{
    return record(24, {std::int32_t(colorRef)});
}

EmfBuilder& EmfBuilder::setBkMode(int mode)
{
    return record(18, {mode});
}

namespace {

/** An EXTTEXTOUT record body: bounds, graphics mode, scales, then the text block with string and advances. */
QByteArray textRecord(QPoint reference, const QByteArray& string, std::uint32_t chars, const std::vector<int>& dx)
{
    const std::uint32_t offString = 76;
    QByteArray padded = string;
    while (padded.size() % 4)
        padded.append('\0');
    const std::uint32_t offDx = dx.empty() ? 0 : offString + std::uint32_t(padded.size());
    QByteArray b;
    b.append(16, '\0'); // bounds
    putLe32(b, 1); // GM_COMPATIBLE
    putLe32(b, 0);
    putLe32(b, 0); // scales
    putLe32(b, std::uint32_t(reference.x()));
    putLe32(b, std::uint32_t(reference.y()));
    putLe32(b, chars);
    putLe32(b, offString);
    putLe32(b, 0); // options
    b.append(16, '\0'); // rectangle
    putLe32(b, offDx);
    b.append(padded);
    for (int d : dx)
        putLe32(b, std::uint32_t(d));
    return b;
}

} // namespace

EmfBuilder& EmfBuilder::textOutW(QPoint reference, const QString& text, const std::vector<int>& dx)
{
    QByteArray s;
    for (QChar c : text)
        putLe16(s, c.unicode());
    return raw(84, textRecord(reference, s, std::uint32_t(text.size()), dx));
}

EmfBuilder& EmfBuilder::textOutA(QPoint reference, const QByteArray& text)
{
    return raw(83, textRecord(reference, text, std::uint32_t(text.size()), {}));
}

EmfBuilder& EmfBuilder::worldTransform(float m11, float m12, float m21, float m22, float dx, float dy, int modifyMode)
{
    QByteArray b;
    for (float f : {m11, m12, m21, m22, dx, dy}) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        putLe32(b, bits);
    }
    if (modifyMode == 0)
        return raw(35, b);
    putLe32(b, std::uint32_t(modifyMode));
    return raw(36, b);
}

EmfBuilder& EmfBuilder::stretchDiBits(const QRect& dest, const QImage& image, std::uint32_t rop)
{
    const QByteArray dib = bmpFromImage(image).mid(14);
    const std::uint32_t infoSize = 40;
    QByteArray b;
    b.append(16, '\0'); // bounds
    for (int v : {dest.x(), dest.y(), 0, 0, image.width(), image.height()})
        putLe32(b, std::uint32_t(v));
    const std::uint32_t offBmi = 80;
    putLe32(b, offBmi);
    putLe32(b, infoSize);
    putLe32(b, offBmi + infoSize);
    putLe32(b, std::uint32_t(dib.size()) - infoSize);
    putLe32(b, 0); // DIB_RGB_COLORS
    putLe32(b, rop);
    putLe32(b, std::uint32_t(dest.width()));
    putLe32(b, std::uint32_t(dest.height()));
    b.append(dib);
    return raw(81, b);
}

QByteArray EmfBuilder::finish() const
{
    QByteArray out;
    const std::uint32_t headerSize = 108;
    const std::int32_t frameW = std::int32_t(std::lround(m_pixels.width() * 2540.0 / 96));
    const std::int32_t frameH = std::int32_t(std::lround(m_pixels.height() * 2540.0 / 96));
    putLe32(out, 1);
    putLe32(out, headerSize);
    for (int v : {0, 0, m_pixels.width() - 1, m_pixels.height() - 1, 0, 0, frameW, frameH})
        putLe32(out, std::uint32_t(v));
    putLe32(out, 0x464D4520);
    putLe32(out, 0x10000);
    const std::uint32_t total = headerSize + std::uint32_t(m_records.size()) + 20;
    putLe32(out, total);
    putLe32(out, m_count + 1);
    putLe16(out, std::uint16_t(m_handles));
    putLe16(out, 0);
    putLe32(out, 0); // description
    putLe32(out, 0);
    putLe32(out, 0); // palette entries
    // A reference device of 960 x 960 pixels on 254 x 254 mm: 96 pixels per inch.
    for (int v : {960, 960, 254, 254, 0, 0, 0, 254000, 254000})
        putLe32(out, std::uint32_t(v));
    out.append(m_records);
    for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u})
        putLe32(out, v);
    return out;
}

} // namespace testing_support
