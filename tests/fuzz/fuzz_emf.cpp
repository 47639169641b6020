// Feeds arbitrary bytes to the enhanced-metafile layer: load, play the records into a small picture, and check
// that the held bytes load again as the same picture.
#include "described_round_trip.h"
#include "platform/bytes.h"
#include "platform/errors.h"
#include "store/gdi/emf_records.h"
#include "store/layers.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdlib>

namespace {

// Larger pictures play the same records, only more slowly; the fuzzer spends its time on the records.
constexpr int kMaxFuzzedSide = 512;

} // namespace

// Fontconfig keeps the patterns of every font it has matched for the life of the process; that is its cache,
// not a leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv); // text drawing needs the font database; kept for the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!store::emf::looksLikeEmf(platform::asBytes(bytes)))
        return 0; // placeable WMF has its own target
    try {
        const auto picture = store::loadMetafile(bytes);
        const QSize natural = picture->size();
        if (natural.width() <= kMaxFuzzedSide && natural.height() <= kMaxFuzzedSide) {
            if (picture->image().size() != natural)
                std::abort();
        }
        if (picture->pictureEnd() > qint64(size))
            std::abort(); // the held bytes lie inside the file
        checkKeptForDescription(*picture, bytes, store::loadMetafile);
    } catch (const platform::AppError&) {
    }
    return 0;
}
