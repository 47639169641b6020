#include "described_file.h"

#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"

#include <QFileInfo>

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
    std::optional<platform::FileIdentity> identity;
    const QByteArray bytes = platform::readWholeFile(path, identity);
    DescribedPicture result = describedPictureOf(path, bytes);
    result.identity = identity;
    return result;
}

DescribedPicture describedPictureOf(const QString& path, const QByteArray& bytes)
{
    DescribedPicture result;
    result.picture = loadPicture(path, bytes);
    result.blockLength = blockLengthOf(bytes);
    if (result.blockLength > 0)
        result.description = bytes.right(result.blockLength - static_cast<qint64>(kMarker.size()));
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

/** What a cut of the description block is for: the refusal of a cut into the picture names it. */
enum class Change { Save, Delete };

/**
 * Raises an error, naming the file and fitting `change`, when cutting `bytes` at `cut` would cut into the picture's
 * own data.
 */
void checkCutOutsidePicture(const QString& path, const QByteArray& bytes, qint64 cut, Change change)
{
    // A marker can occur inside the picture's own bytes; cutting there would destroy the picture.
    const qint64 pictureEnd = pictureEndOf(path, bytes);
    const bool safe = pictureEnd >= 0 ? cut >= pictureEnd : markerAt(bytes, cut);
    if (safe)
        return;
    const QString name = platform::displayFileName(QFileInfo(path).fileName());
    if (change == Change::Save) {
        throw platform::AppError(
            QStringLiteral("Nie mogę zapisać opisu w pliku %1 - dane samego obrazu zawierają "
                           "już znacznik opisu \"@||@\", więc opis nie dałby się od nich oddzielić")
                .arg(name));
    }
    throw platform::AppError(QStringLiteral("Nie mogę skasować opisu pliku %1 - znacznik opisu \"@||@\" leży w danych "
                                            "samego obrazu, a ich obcięcie zniszczyłoby obraz")
                                 .arg(name));
}

void cutBlock(platform::File& file, const QString& path, qint64 length, const QByteArray* known)
{
    const qint64 size = file.size();
    if (length < 0 || length > size)
        throw platform::IoError(EINVAL, path); // the cut would lie before the start of the file
    if (length == 0)
        return;
    if (known && known->size() != size)
        throw platform::IoError(EAGAIN, path); // changed since it was read

    const qint64 cut = size - length;
    const QByteArray bytes = known ? *known : file.readAll();
    checkCutOutsidePicture(path, bytes, cut, Change::Delete);
    file.truncate(cut);
}

} // namespace

void stripDescriptionBlock(const QString& path, qint64 length)
{
    platform::File file(path, platform::File::Mode::ReadWrite);
    cutBlock(file, path, length, nullptr);
}

void stripDescriptionBlock(const QString& path, qint64 length, const QByteArray& current)
{
    platform::File file(path, platform::File::Mode::ReadWrite);
    cutBlock(file, path, length, &current);
}

QByteArray withoutBlock(const QString& path, const QByteArray& bytes, qint64 length)
{
    if (length < 0 || length > bytes.size())
        throw platform::IoError(EINVAL, path);
    const qint64 cut = bytes.size() - length;
    if (length > 0)
        checkCutOutsidePicture(path, bytes, cut, Change::Save);
    return bytes.first(cut);
}

qint64 blockLengthOf(const QByteArray& fileBytes)
{
    const qint64 marker = findMarker(platform::asBytes(fileBytes));
    return marker < 0 ? 0 : fileBytes.size() - marker;
}

void replaceDescription(const QString& path, const QByteArray& description)
{
    const QByteArray bytes = platform::readWholeFile(path);
    (void)loadPicture(path, bytes); // a picture file, and one this program can read
    const qint64 marker = findMarker(platform::asBytes(bytes));
    const qint64 cut = marker < 0 ? bytes.size() : marker;
    if (marker >= 0)
        checkCutOutsidePicture(path, bytes, cut, Change::Save);
    platform::replaceFile(path,
        {platform::asBytes(bytes).first(static_cast<std::size_t>(cut)), platform::asBytes(kMarker),
            platform::asBytes(description)});
}

namespace {

/** When the open file holds exactly the first bytes of `original`, appends the rest in place and gives back true. */
bool putBackCut(platform::File& file, const QByteArray& original)
{
    const qint64 size = file.size();
    if (size > original.size() || file.readAll() != original.left(size))
        return false;
    file.append(platform::asBytes(original).subspan(static_cast<std::size_t>(size)));
    return true;
}

} // namespace

void restoreFile(const QString& path, const QByteArray& original)
{
    try {
        platform::File file(path, platform::File::Mode::ReadWrite);
        if (putBackCut(file, original))
            return;
    } catch (const platform::IoError&) {
        // Gone or unreadable: written anew below.
    }
    platform::replaceFile(path, {platform::asBytes(original)});
}

} // namespace store
