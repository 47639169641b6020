#include "described_file.h"

#include "platform/errors.h"
#include "platform/file_io.h"

#include <cerrno>
#include <cstring>
#include <string.h> // memmem (a GNU extension, declared here)

namespace store {

qint64 findMarker(platform::ByteView bytes)
{
    // glibc's memmem runs a two-way search with a vectorised first-byte scan; a four-byte needle cannot do better.
    if (bytes.size() < kMarker.size())
        return -1;
    const void* hit = ::memmem(bytes.data(), bytes.size(), kMarker.data(), kMarker.size());
    if (hit == nullptr)
        return -1;
    return static_cast<const std::uint8_t*>(hit) - bytes.data();
}

DescribedPicture readDescribedFile(const QString& path)
{
    // One read: the picture layer keeps (a shallow copy of) this buffer and the marker search runs over it.
    const QByteArray bytes = platform::readWholeFile(path);
    DescribedPicture result;
    result.picture = loadPicture(path, bytes);
    const qint64 marker = findMarker(platform::asBytes(bytes));
    if (marker >= 0) {
        result.description = bytes.mid(marker + static_cast<qint64>(kMarker.size()));
        result.blockLength = bytes.size() - marker;
    }
    return result;
}

void writeDescribedFile(const QString& path, const Picture& picture, const QByteArray& description)
{
    const QByteArray encoded = picture.encoded();
    platform::replaceFile(
        path, {platform::asBytes(encoded), platform::asBytes(kMarker), platform::asBytes(description)});
}

namespace {

/**
 * Where the picture's own data ends in `bytes`, or -1 when no layer can tell: an unknown extension, a picture
 * the layer refuses, or a JPEG cut short before its end-of-image marker (its scan data then runs on into
 * whatever follows, a description included).
 */
qint64 pictureEndOf(const QString& path, const QByteArray& bytes)
{
    try {
        const auto picture = loadPicture(path, bytes);
        return picture->hasOwnEnd() ? picture->pictureEnd() : -1;
    } catch (const platform::AppError&) {
        return -1;
    }
}

bool markerAt(const QByteArray& bytes, qint64 offset)
{
    return offset >= 0 && offset + static_cast<qint64>(kMarker.size()) <= bytes.size()
        && std::memcmp(bytes.constData() + offset, kMarker.data(), kMarker.size()) == 0;
}

} // namespace

void stripDescriptionBlock(const QString& path, qint64 length)
{
    platform::File file(path, platform::File::Mode::ReadWrite);
    const qint64 size = file.size();
    if (length < 0 || length > size)
        throw platform::IoError(EINVAL, path); // the cut would lie before the start of the file
    if (length == 0)
        return;

    const qint64 cut = size - length;
    const QByteArray bytes = file.readAll();
    const qint64 pictureEnd = pictureEndOf(path, bytes);
    // A marker can occur inside the picture's own bytes; cutting there would destroy the picture.
    const bool safe = pictureEnd >= 0 ? cut >= pictureEnd : markerAt(bytes, cut);
    if (!safe) {
        throw platform::AppError(
            QStringLiteral("The description block of %1 cannot be deleted: it would cut into the picture's own data")
                .arg(path));
    }
    file.truncate(cut);
}

} // namespace store
