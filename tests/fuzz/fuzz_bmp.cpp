// Feeds arbitrary bytes to the BMP layer: load, decode, and check that what a writer keeps in front of a
// description loads again as the same picture.
#include "described_round_trip.h"
#include "platform/errors.h"
#include "store/layers.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>

namespace {

// Pictures of hundreds of megapixels decode correctly but slowly; above this the fuzzer checks everything else.
constexpr qint64 kMaxFuzzedPixels = 1 << 18;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const auto picture = store::loadBmp(bytes);
        const bool decode = qint64(picture->size().width()) * picture->size().height() <= kMaxFuzzedPixels;
        if (decode && picture->image().size() != picture->size())
            std::abort();
        checkKeptForDescription(*picture, bytes, store::loadBmp);
    } catch (const platform::AppError&) {
    }
    return 0;
}
