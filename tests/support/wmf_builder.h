#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QVector>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testing_support {

/**
 * Builds small Windows metafiles record by record for tests: the 18-byte header with the right size and largest
 * record, the records given, and the end-of-file record; optionally behind a placeable header.
 */
class WmfBuilder {
public:
    /** A record with 16-bit parameter words. */
    WmfBuilder& record(std::uint16_t function, std::initializer_list<int> words);
    /** A record with raw parameter bytes (padded to whole words). */
    WmfBuilder& recordBytes(std::uint16_t function, const QByteArray& params);

    // The records tests use most, with parameters in the order the drawing calls take them.
    WmfBuilder& window(int x, int y, int width, int height);
    WmfBuilder& pen(int style, int width, QColor colour);
    WmfBuilder& brush(int style, QColor colour, int hatch = 0);
    WmfBuilder& select(int index);
    WmfBuilder& deleteObject(int index);
    WmfBuilder& rectangle(int left, int top, int right, int bottom);
    WmfBuilder& polygon(const QVector<QPoint>& points);
    /** A font of the given height, face name and character set. */
    WmfBuilder& font(int height, const QByteArray& face, int charset = 0, int escapement = 0, int weight = 400);
    WmfBuilder& textOut(int x, int y, const QByteArray& text);

    /**
     * Comment escapes (MFCOMMENT, "WMFC") carrying `emf` split into `pieces` records, as writers that keep an
     * enhanced metafile inside a Windows metafile store it.
     */
    WmfBuilder& embeddedEmf(const QByteArray& emf, int pieces);

    /** The metafile: header, records, end-of-file record. */
    [[nodiscard]] QByteArray metafile() const;
    /** A placeable file: a valid 22-byte placeable header with this box, then the metafile. */
    [[nodiscard]] QByteArray placeable(int left, int top, int right, int bottom, int unitsPerInch = 96) const;

private:
    QByteArray m_records;
    std::uint32_t m_maxRecordWords = 3;
};

/** A 24-bit bottom-up device-independent bitmap (40-byte info header, no colour table) of `image`. */
[[nodiscard]] QByteArray dib24(const QImage& image);

/**
 * A 1-bit bottom-up device-independent bitmap 8 pixels wide: the 40-byte info header, `table` as its colour table
 * (left out when empty), and one byte of bits per row (most significant bit leftmost), `rows` top row first.
 */
[[nodiscard]] QByteArray dib1(const std::vector<std::uint8_t>& rows, const std::vector<QRgb>& table);

/** 16-bit little-endian words as bytes. */
[[nodiscard]] QByteArray leWords(std::initializer_list<int> words);

/** The colour as a COLORREF's two 16-bit words (0x00BBGGRR, low word first). */
[[nodiscard]] QVector<int> colorRefWords(QColor colour);

} // namespace testing_support
