// Placeable WMF bytes → the layer's header checks, playback of pictures up to 512 × 512 pixels, and the written
// picture loading again as the same picture.
#include "described_round_trip.h"
#include "platform/errors.h"
#include "store/wmf_layer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstddef>
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
    try {
        const auto picture = store::loadPlaceableWmf(bytes);
        const QSize natural = picture->size();
        if (natural.width() <= kMaxFuzzedSide && natural.height() <= kMaxFuzzedSide) {
            if (picture->image().size() != natural)
                std::abort();
        }
        // The held bytes lie inside the file, and what a writer keeps loads again as the same picture.
        if (picture->pictureEnd() > qint64(size))
            std::abort();
        checkKeptForDescription(*picture, bytes, store::loadPlaceableWmf);
    } catch (const platform::AppError&) {
    }
    return 0;
}
