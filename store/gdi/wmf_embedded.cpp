#include "wmf_embedded.h"

#include "wmf_records.h"

namespace store::wmf {

namespace {

constexpr std::uint16_t kEscape = 0x0626;
constexpr std::uint16_t kMfComment = 0x000F;
constexpr std::uint32_t kWmfcSignature = 0x43464D57; // "WMFC"
// Escape function and byte count (2 words), then signature, comment type, version, checksum, flags, record
// count, this record's size, bytes remaining, the whole EMF's size: 19 words before the data.
constexpr std::size_t kDataWord = 19;

} // namespace

std::optional<QByteArray> embeddedEmf(platform::ByteView metafile)
{
    RecordReader reader(metafile);
    Record record;
    QByteArray emf;
    std::uint32_t expectedRecords = 0;
    std::uint32_t emfSize = 0;
    std::uint32_t seen = 0;
    while (reader.next(record)) {
        const Params& p = record.params;
        if (record.function != kEscape || p.u16(0) != kMfComment || p.words() < kDataWord || p.u32(2) != kWmfcSignature
            || p.u32(4) != 1)
            continue;
        const std::uint32_t recordCount = p.u32(11);
        const std::uint32_t currentSize = p.u32(13);
        const std::uint32_t remaining = p.u32(15);
        const std::uint32_t totalSize = p.u32(17);
        if (seen == 0) {
            // An EMF cannot be larger than the metafile that carries it.
            if (recordCount == 0 || totalSize == 0 || totalSize > metafile.size())
                return std::nullopt;
            expectedRecords = recordCount;
            emfSize = totalSize;
            emf.reserve(qsizetype(totalSize));
        } else if (recordCount != expectedRecords || totalSize != emfSize) {
            return std::nullopt;
        }
        const platform::ByteView data = p.bytesFrom(kDataWord);
        if (currentSize > data.size() || std::uint64_t(emf.size()) + currentSize > emfSize
            || remaining != emfSize - emf.size() - currentSize)
            return std::nullopt;
        emf += platform::toByteArray(data.first(currentSize));
        if (++seen == expectedRecords)
            break;
    }
    if (seen == 0 || seen != expectedRecords || std::uint32_t(emf.size()) != emfSize)
        return std::nullopt;
    return emf;
}

} // namespace store::wmf
