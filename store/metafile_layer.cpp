// Placeholder until the metafile layers land in this file.
#include "layers.h"
#include "platform/errors.h"

namespace store {
std::unique_ptr<Picture> loadMetafile(const QByteArray&)
{
    throw platform::AppError(QStringLiteral("Metafile pictures are not supported yet"));
}
} // namespace store
