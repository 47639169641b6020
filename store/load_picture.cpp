#include "layers.h"
#include "picture.h"

#include "platform/errors.h"

namespace store {

std::unique_ptr<Picture> loadPicture(PictureFormat format, const QByteArray& fileBytes)
{
    switch (format) {
    case PictureFormat::Bmp:
        return loadBmp(fileBytes);
    case PictureFormat::Jpeg:
        return loadJpeg(fileBytes);
    case PictureFormat::Emf:
    case PictureFormat::Wmf:
        // ".emf" and ".wmf" alike: the content decides which kind of metafile it is.
        return loadMetafile(fileBytes);
    }
    throw platform::AppError(QStringLiteral("Unknown picture format"));
}

std::unique_ptr<Picture> loadPicture(const platform::FilePath& fileName, const QByteArray& fileBytes)
{
    return loadPicture(formatForFileName(fileName), fileBytes);
}

} // namespace store
