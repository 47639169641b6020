// Feeds arbitrary bytes to the JPEG layer: header parse, decode, and the walk that finds the picture's end.
#include "platform/errors.h"
#include "store/jpeg_layer.h"
#include "store/layers.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>

namespace {

// Pictures of hundreds of megapixels decode correctly but slowly; above this the fuzzer checks everything else.
constexpr qint64 kMaxFuzzedPixels = 4'000'000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const qint64 end = store::jpegDataEnd({data, size});
    if (end < -1 || end > qint64(size))
        std::abort();

    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const auto loaded = store::loadJpeg(bytes);
        const auto* picture = dynamic_cast<const store::JpegPicture*>(loaded.get());
        if (picture == nullptr)
            std::abort();
        if (picture->pictureEnd() != (end < 0 ? qint64(size) : end) || picture->hasEndOfImage() != (end >= 0)
            || picture->headForDescription(bytes) != bytes)
            std::abort(); // a JPEG is kept byte for byte
        if (qint64(picture->size().width()) * picture->size().height() <= kMaxFuzzedPixels) {
            const QImage& image = picture->image();
            if (image.size() != picture->size() || image.format() != QImage::Format_RGB32)
                std::abort();
        }
    } catch (const platform::AppError&) {
    }
    return 0;
}
