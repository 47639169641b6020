#include "wmf_builder.h"

namespace testing_support {

namespace {

void putLe16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void putLe32(QByteArray& out, std::uint32_t value)
{
    putLe16(out, int(value & 0xFFFF));
    putLe16(out, int(value >> 16));
}

QByteArray wordsOf(const QVector<int>& words)
{
    QByteArray out;
    for (int word : words)
        putLe16(out, word);
    return out;
}

} // namespace

QByteArray leWords(std::initializer_list<int> words)
{
    return wordsOf(QVector<int>(words));
}

QByteArray dib1(const std::vector<std::uint8_t>& rows, const std::vector<QRgb>& table)
{
    QByteArray out;
    putLe32(out, 40);
    putLe32(out, 8);
    putLe32(out, std::uint32_t(rows.size()));
    putLe16(out, 1);
    putLe16(out, 1);
    putLe32(out, 0); // uncompressed
    putLe32(out, std::uint32_t(4 * rows.size()));
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, std::uint32_t(table.size()));
    putLe32(out, 0);
    for (QRgb colour : table) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append('\0');
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        out.append(char(*row));
        out.append(3, '\0'); // rows are padded to 32 bits
    }
    return out;
}

QByteArray dib24(const QImage& image)
{
    const int stride = (image.width() * 3 + 3) / 4 * 4;
    QByteArray out;
    putLe32(out, 40);
    putLe32(out, std::uint32_t(image.width()));
    putLe32(out, std::uint32_t(image.height()));
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0); // uncompressed
    putLe32(out, std::uint32_t(stride * image.height()));
    for (int i = 0; i < 4; ++i)
        putLe32(out, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            row.append(char(qBlue(pixel)));
            row.append(char(qGreen(pixel)));
            row.append(char(qRed(pixel)));
        }
        row.append(QByteArray(stride - row.size(), '\0'));
        out += row;
    }
    return out;
}

QVector<int> colorRefWords(QColor colour)
{
    return {colour.red() | (colour.green() << 8), colour.blue()};
}

WmfBuilder& WmfBuilder::record(std::uint16_t function, std::initializer_list<int> words)
{
    return recordBytes(function, leWords(words));
}

WmfBuilder& WmfBuilder::recordBytes(std::uint16_t function, const QByteArray& params)
{
    QByteArray padded = params;
    if (padded.size() % 2)
        padded.append('\0');
    const auto words = std::uint32_t(3 + padded.size() / 2);
    putLe32(m_records, words);
    putLe16(m_records, function);
    m_records += padded;
    m_maxRecordWords = std::max(m_maxRecordWords, words);
    return *this;
}

WmfBuilder& WmfBuilder::window(int x, int y, int width, int height)
{
    record(0x020B, {y, x});
    return record(0x020C, {height, width});
}

WmfBuilder& WmfBuilder::pen(int style, int width, QColor colour)
{
    const QVector<int> c = colorRefWords(colour);
    return recordBytes(0x02FA, wordsOf({style, width, 0, c[0], c[1]}));
}

WmfBuilder& WmfBuilder::brush(int style, QColor colour, int hatch)
{
    const QVector<int> c = colorRefWords(colour);
    return recordBytes(0x02FC, wordsOf({style, c[0], c[1], hatch}));
}

WmfBuilder& WmfBuilder::select(int index)
{
    return record(0x012D, {index});
}

WmfBuilder& WmfBuilder::deleteObject(int index)
{
    return record(0x01F0, {index});
}

WmfBuilder& WmfBuilder::rectangle(int left, int top, int right, int bottom)
{
    return record(0x041B, {bottom, right, top, left});
}

WmfBuilder& WmfBuilder::polygon(const QVector<QPoint>& points)
{
    QVector<int> words {int(points.size())};
    for (const QPoint& p : points)
        words << p.x() << p.y();
    return recordBytes(0x0324, wordsOf(words));
}

WmfBuilder& WmfBuilder::font(int height, const QByteArray& face, int charset, int escapement, int weight)
{
    QByteArray params = wordsOf({height, 0, escapement, escapement, weight});
    params.append(char(0)); // italic
    params.append(char(0)); // underline
    params.append(char(0)); // strike-out
    params.append(char(charset));
    params.append(char(0)); // output precision
    params.append(char(0)); // clip precision
    params.append(char(0)); // quality
    params.append(char(0)); // pitch and family
    QByteArray name = face.left(31);
    name.append('\0');
    params += name;
    return recordBytes(0x02FB, params);
}

WmfBuilder& WmfBuilder::textOut(int x, int y, const QByteArray& text)
{
    QByteArray params = leWords({int(text.size())});
    params += text;
    if (params.size() % 2)
        params.append('\0');
    params += leWords({y, x});
    return recordBytes(0x0521, params);
}

WmfBuilder& WmfBuilder::embeddedEmf(const QByteArray& emf, int pieces)
{
    const qsizetype pieceSize = (emf.size() + pieces - 1) / pieces;
    for (qsizetype at = 0; at < emf.size(); at += pieceSize) {
        const QByteArray piece = emf.mid(at, pieceSize);
        QByteArray params = leWords({0x000F, int(34 + piece.size())}) + "WMFC";
        putLe32(params, 1); // comment type
        putLe32(params, 0x00010000); // version
        putLe16(params, 0); // checksum
        putLe32(params, 0); // flags
        putLe32(params, std::uint32_t(pieces));
        putLe32(params, std::uint32_t(piece.size()));
        putLe32(params, std::uint32_t(emf.size() - at - piece.size())); // bytes still to come
        putLe32(params, std::uint32_t(emf.size()));
        recordBytes(0x0626, params + piece);
    }
    return *this;
}

QByteArray WmfBuilder::metafile() const
{
    const QByteArray eof = leWords({3, 0, 0});
    QByteArray out;
    putLe16(out, 1); // on disk
    putLe16(out, 9);
    putLe16(out, 0x0300);
    putLe32(out, std::uint32_t((18 + m_records.size() + eof.size()) / 2));
    putLe16(out, 16); // objects
    putLe32(out, m_maxRecordWords);
    putLe16(out, 0);
    return out + m_records + eof;
}

QByteArray WmfBuilder::placeable(int left, int top, int right, int bottom, int unitsPerInch) const
{
    QByteArray header = wordsOf({0xCDD7, 0x9AC6, 0, left, top, right, bottom, unitsPerInch, 0, 0});
    int checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= (std::uint8_t(header[i]) | (std::uint8_t(header[i + 1]) << 8));
    putLe16(header, checksum);
    return header + metafile();
}

} // namespace testing_support
