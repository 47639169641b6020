#include "described_file.h"

#include "platform/file_io.h"

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

DescribedPicture readDescribedFile(const platform::FilePath& path)
{
    // One read: the picture layer keeps (a shallow copy of) this buffer and the marker search runs over it.
    std::optional<platform::FileIdentity> identity;
    const QByteArray bytes = platform::readWholeFile(path, identity);
    DescribedPicture result = describedPictureOf(path, bytes);
    result.identity = identity;
    return result;
}

DescribedPicture describedPictureOf(const platform::FilePath& path, const QByteArray& bytes)
{
    DescribedPicture result;
    result.picture = loadPicture(path, bytes);
    result.blockLength = blockLengthOf(bytes);
    if (result.blockLength > 0)
        result.description = bytes.right(result.blockLength - static_cast<qint64>(kMarker.size()));
    return result;
}

qint64 blockLengthOf(const QByteArray& fileBytes)
{
    const qint64 marker = findMarker(platform::asBytes(fileBytes));
    return marker < 0 ? 0 : fileBytes.size() - marker;
}

} // namespace store
