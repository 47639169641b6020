// Placeholder until DIB decoding lands in this file.
#include "dib.h"
#include "platform/errors.h"

namespace store::dib {
Header parseHeader(ByteView)
{
    throw platform::AppError(QStringLiteral("Bitmaps are not supported yet"));
}
std::size_t pixelDataLength(const Header&, std::size_t)
{
    return 0;
}
QImage decodePixels(const Header&, ByteView, DecodeOptions)
{
    throw platform::AppError(QStringLiteral("Bitmaps are not supported yet"));
}
} // namespace store::dib
