// Placeholder until the BMP layer lands in this file.
#include "layers.h"
#include "platform/errors.h"

namespace store {
std::unique_ptr<Picture> loadBmp(const QByteArray&)
{
    throw platform::AppError(QStringLiteral("BMP pictures are not supported yet"));
}
} // namespace store
