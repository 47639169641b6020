// Placeable WMF bytes → the layer's header checks and, for pictures of at most 512 × 512 pixels, playback.
#include "platform/errors.h"
#include "store/wmf_layer.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Text drawing needs the font database, which needs an application object.
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const auto picture = store::loadPlaceableWmf(bytes);
        if (picture->size().width() <= 512 && picture->size().height() <= 512)
            (void)picture->image();
        (void)picture->encoded();
    } catch (const platform::AppError&) {
    }
    return 0;
}
