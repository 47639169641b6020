#include "picture_transaction.h"

#include "described_file.h"
#include "picture.h"

#include "platform/errors.h"

#include <cerrno>

namespace store {

namespace {

/** What a cut or a write in front of the block is for: the refusal names it. */
enum class Change { Write, Delete };

[[noreturn]] void markerInsidePicture(const platform::FilePath& path, Change change)
{
    if (change == Change::Write) {
        throw platform::AppError(
            QStringLiteral("Nie mogę zapisać opisu w pliku %1 - dane samego obrazu zawierają "
                           "już znacznik opisu \"@||@\", więc opis nie dałby się od nich oddzielić")
                .arg(path.fileName().display()));
    }
    throw platform::AppError(QStringLiteral("Nie mogę skasować opisu pliku %1 - znacznik opisu \"@||@\" leży w danych "
                                            "samego obrazu, a ich obcięcie zniszczyłoby obraz")
                                 .arg(path.fileName().display()));
}

/**
 * Where the picture's own data ends in `bytes`, or -1 when no layer can tell: a picture the layer refuses, or a JPEG
 * cut short before its end-of-image marker (its scan data then runs on into whatever follows, a description included).
 */
qint64 pictureEndOf(PictureFormat format, const QByteArray& bytes)
{
    try {
        const auto picture = loadPicture(format, bytes);
        return picture->hasOwnEnd() ? picture->pictureEnd() : -1;
    } catch (const platform::AppError&) {
        return -1;
    }
}

} // namespace

PictureTransaction::PictureTransaction(platform::FilePath path)
    : m_path(std::move(path))
    , m_format(formatForFileName(m_path))
{
    std::optional<platform::FileIdentity> identity;
    m_bytes = platform::readWholeFile(m_path, identity);
    if (!identity)
        throw platform::FileChangedError(m_path);
    m_identity = *identity;
    m_marker = findMarker(platform::asBytes(m_bytes));
}

std::optional<QByteArray> PictureTransaction::description() const
{
    if (m_marker < 0)
        return std::nullopt;
    return m_bytes.sliced(m_marker + qint64(kMarker.size()));
}

void PictureTransaction::requireIdentity(const std::optional<platform::FileIdentity>& expected) const
{
    if (expected != m_identity)
        throw platform::FileChangedError(m_path);
}

QByteArray PictureTransaction::pictureBytes() const
{
    const auto refused = [this](const QString& why) {
        return platform::AppError(
            QStringLiteral("Nie mogę zapisać opisu w pliku %1 - %2").arg(m_path.fileName().display(), why));
    };
    // A marker can occur inside the picture's own bytes: what follows it is then picture data, not a description.
    const auto whole = [&] {
        try {
            return loadPicture(m_format, m_bytes);
        } catch (const platform::AppError& e) {
            throw refused(e.message());
        }
    }();
    if (m_marker >= 0 && whole->hasOwnEnd() && whole->pictureEnd() > m_marker)
        markerInsidePicture(m_path, Change::Write);
    try {
        if (m_marker < 0)
            return whole->headForDescription(m_bytes);
        const QByteArray head = m_bytes.first(m_marker);
        return loadPicture(m_format, head)->headForDescription(head);
    } catch (const platform::AppError& e) {
        throw refused(e.message());
    }
}

void PictureTransaction::checkReadsBack(const QByteArray& written, qint64 head) const
{
    // Header parsing only: this costs no decoding, and catches a layer that would take the block for its own data.
    bool same = findMarker(platform::asBytes(written)) == head;
    if (same) {
        try {
            const auto before = loadPicture(m_format, m_bytes);
            const auto after = loadPicture(m_format, written);
            same = after->format() == before->format() && after->size() == before->size()
                && after->storedSize() == before->storedSize() && (!after->hasOwnEnd() || after->pictureEnd() <= head);
        } catch (const platform::AppError&) {
            same = false;
        }
    }
    if (!same) {
        throw platform::AppError(QStringLiteral("Nie mogę zapisać opisu w pliku %1 - po zmianie nie dałby się odczytać "
                                                "jako ten sam obraz z tym samym opisem")
                                     .arg(m_path.fileName().display()));
    }
}

platform::FileIdentity PictureTransaction::replaceWith(const QByteArray& head, const QByteArray& description)
{
    QByteArray written;
    written.reserve(head.size() + qsizetype(kMarker.size()) + description.size());
    written.append(head).append(kMarker.data(), qsizetype(kMarker.size())).append(description);
    checkReadsBack(written, head.size());
    return platform::replaceFile(m_path, {platform::asBytes(written)}, m_identity);
}

void PictureTransaction::checkReplaceable() const
{
    platform::checkReplaceable(m_path);
}

platform::FileIdentity PictureTransaction::writeDescription(const QByteArray& description)
{
    return replaceWith(pictureBytes(), description);
}

platform::FileIdentity PictureTransaction::replacePicture(const QByteArray& picture)
{
    const std::optional<QByteArray> kept = description();
    if (!kept)
        return platform::replaceFile(m_path, {platform::asBytes(picture)}, m_identity);
    return replaceWith(picture, *kept);
}

platform::FileIdentity PictureTransaction::stripDescriptionBlock()
{
    if (m_marker < 0)
        return m_identity;
    // A JPEG cut short can still have its block deleted: without an end of its own, the first marker is the cut.
    const qint64 pictureEnd = pictureEndOf(m_format, m_bytes);
    if (pictureEnd > m_marker)
        markerInsidePicture(m_path, Change::Delete);
    return platform::changeInPlace(m_path, m_identity, [this](platform::File& file) { file.truncate(m_marker); });
}

platform::FileIdentity PictureTransaction::putBackBlock(
    const platform::FilePath& path, const platform::FileIdentity& cut, const QByteArray& block)
{
    return platform::changeInPlace(path, cut, [&](platform::File& file) { file.append(platform::asBytes(block)); });
}

} // namespace store
