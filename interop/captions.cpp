#include "captions.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "store/described_file.h"
#include "store/description_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace interop {

namespace {

class Exiv2Complaints;
/** The collector Exiv2's log goes to now, if any. */
Exiv2Complaints* currentComplaints = nullptr;

/**
 * Collects what Exiv2 reports while it reads. Exiv2 answers damaged metadata with a warning and an empty result
 * rather than an error; writing that result back would silently drop the damaged block, so whoever reads
 * metadata in order to rewrite it must know. Exiv2's log is process-wide: this runs in the command-line tool's
 * one thread only.
 */
class Exiv2Complaints {
public:
    Exiv2Complaints()
    {
        currentComplaints = this;
        Exiv2::LogMsg::setHandler(&Exiv2Complaints::collect);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    }
    ~Exiv2Complaints()
    {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(&Exiv2::LogMsg::defaultHandler);
        currentComplaints = nullptr;
    }
    Exiv2Complaints(const Exiv2Complaints&) = delete;
    Exiv2Complaints& operator=(const Exiv2Complaints&) = delete;

    /** Raises AppError naming `what` when Exiv2 complained. */
    void check(const QString& what) const
    {
        if (!m_messages.isEmpty())
            throw platform::AppError(
                QStringLiteral("the metadata of %1 is damaged (%2)").arg(what, m_messages.first()));
    }

private:
    static void collect(int, const char* message)
    {
        if (currentComplaints)
            currentComplaints->m_messages << QString::fromUtf8(message).trimmed();
    }

    QStringList m_messages;
};

// Exiv2 0.27 hands out std::auto_ptr; it is moved into a unique_ptr at once.
using ImagePtr = std::unique_ptr<Exiv2::Image>;

/** Reads the metadata of `bytes` (a JPEG's or a sidecar's) through Exiv2; raises AppError naming `what`. */
ImagePtr readMetadata(const QByteArray& bytes, int expectedType, const QString& what)
{
    const QString notThatType = expectedType == Exiv2::ImageType::xmp
        ? QStringLiteral("%1 is not an XMP file").arg(what)
        : QStringLiteral("%1 is not a JPEG").arg(what);
    ImagePtr image;
    try {
        image.reset(bytes.isEmpty()
                ? Exiv2::ImageFactory::create(expectedType).release()
                : Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()))
                      .release());
    } catch (const Exiv2::AnyError&) {
        throw platform::AppError(notThatType); // too short to tell, or of no type Exiv2 knows
    }
    if (image->imageType() != expectedType)
        throw platform::AppError(notThatType);
    try {
        Exiv2Complaints complaints;
        image->readMetadata();
        // A sidecar whose XML does not parse reads as an empty one; Exiv2 only says so in its log.
        if (expectedType == Exiv2::ImageType::xmp && !image->xmpPacket().empty()) {
            Exiv2::XmpData check;
            if (Exiv2::XmpParser::decode(check, image->xmpPacket()) != 0)
                throw platform::AppError(QStringLiteral("%1 is not valid XMP").arg(what));
        }
        complaints.check(what);
    } catch (const Exiv2::AnyError& e) {
        throw platform::AppError(
            QStringLiteral("the metadata of %1 is damaged (%2)").arg(what, QString::fromUtf8(e.what()).trimmed()));
    }
    return image;
}

/** The image's metadata written into its in-memory copy, and that copy's bytes. */
QByteArray writtenBytes(Exiv2::Image& image, const QString& what)
{
    try {
        image.writeMetadata();
        Exiv2::BasicIo& io = image.io();
        if (io.open() != 0)
            throw platform::AppError(QStringLiteral("%1: cannot read back the written metadata").arg(what));
        Exiv2::DataBuf data = io.read(long(io.size()));
        io.close();
        return {reinterpret_cast<const char*>(data.pData_), qsizetype(data.size_)};
    } catch (const Exiv2::AnyError& e) {
        throw platform::AppError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(e.what())));
    }
}

/** The existing file's bytes, or empty ones when there is no file. */
QByteArray bytesIfPresent(const QString& path)
{
    try {
        return platform::readWholeFile(path);
    } catch (const platform::IoError& e) {
        if (e.errorCode() == ENOENT)
            return {};
        throw;
    }
}

QString describe(const QString& path)
{
    return QFileInfo(path).fileName();
}

/** The description as shared: Windows-1250 decoded, each line break (CR LF, lone CR, lone LF) one line feed. */
QString sharedText(const QByteArray& description, bool embed)
{
    QString text = platform::cp1250::decode(description);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\n' && c != u'\t') {
            throw platform::AppError(
                QStringLiteral("the description holds control characters (such as U+%1), which XMP cannot carry")
                    .arg(c.unicode(), 4, 16, QLatin1Char('0')));
        }
    }
    if (embed && description.contains(QByteArray(store::kMarker.data(), qsizetype(store::kMarker.size())))) {
        throw platform::AppError(QStringLiteral("the description holds \"@||@\": inside the picture it would become "
                                                "the first marker, so it is not embedded"));
    }
    return text;
}

void setDescription(Exiv2::XmpData& xmp, const QString& text)
{
    // The whole property is replaced: a translation left beside the new text would show the old one.
    Exiv2::LangAltValue value;
    value.value_["x-default"] = text.toStdString();
    xmp["Xmp.dc.description"].setValue(&value);
}

void exportToSidecar(const QString& sidecar, const QString& text)
{
    const QString what = describe(sidecar);
    const ImagePtr image = readMetadata(bytesIfPresent(sidecar), Exiv2::ImageType::xmp, what);
    setDescription(image->xmpData(), text);
    platform::replaceFile(sidecar, {platform::asBytes(writtenBytes(*image, what))});
}

void embedIntoJpeg(const QString& path, const QByteArray& bytes, qint64 marker, const QString& text)
{
    const QString what = describe(path);
    // The picture's own bytes are what Exiv2 rewrites; a marker inside them would leave the block's start unknown.
    const auto picture = store::loadPicture(path, bytes);
    if (picture->hasOwnEnd() && picture->pictureEnd() > marker)
        throw platform::AppError(QStringLiteral("%1: the first marker lies inside the picture's own data").arg(what));
    const QByteArray pictureBytes = bytes.left(marker);
    const ImagePtr image = readMetadata(pictureBytes, Exiv2::ImageType::jpeg, what);
    setDescription(image->xmpData(), text);
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        image->exifData()["Exif.Image.ImageDescription"] = text.toStdString();
    const QByteArray written = writtenBytes(*image, what);
    if (store::findMarker(platform::asBytes(written)) >= 0)
        throw platform::AppError(QStringLiteral("%1: the picture's metadata would hold the marker \"@||@\"").arg(what));
    platform::replaceFile(path, {platform::asBytes(written), platform::asBytes(bytes).subspan(std::size_t(marker))});
}

QString utf8OrCp1250(std::string bytes)
{
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back(); // Exif strings often carry their C terminator
    const QByteArray data = QByteArray::fromStdString(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(data);
    return decoder.hasError() ? platform::cp1250::decode(data) : text;
}

QString xmpDescription(const Exiv2::XmpData& xmp)
{
    const auto found = xmp.findKey(Exiv2::XmpKey("Xmp.dc.description"));
    if (found == xmp.end())
        return {};
    if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&found->value())) {
        const auto def = alt->value_.find("x-default");
        if (def != alt->value_.end())
            return QString::fromStdString(def->second);
        return alt->value_.empty() ? QString() : QString::fromStdString(alt->value_.begin()->second);
    }
    return QString::fromStdString(found->toString());
}

QString iptcCaption(const Exiv2::IptcData& iptc, const QString& what)
{
    const auto caption = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
    if (caption == iptc.end())
        return {};
    const auto charset = iptc.findKey(Exiv2::IptcKey("Iptc.Envelope.CharacterSet"));
    if (charset == iptc.end())
        return utf8OrCp1250(caption->toString());
    if (charset->toString() != "\x1B%G")
        throw platform::AppError(QStringLiteral("%1: the IPTC caption's character set is not UTF-8").arg(what));
    return QString::fromStdString(caption->toString());
}

std::optional<Caption> sidecarCaption(const QString& sidecar)
{
    const QByteArray bytes = bytesIfPresent(sidecar);
    if (bytes.isEmpty())
        return std::nullopt;
    const QString what = describe(sidecar);
    const ImagePtr image = readMetadata(bytes, Exiv2::ImageType::xmp, what);
    const QString text = xmpDescription(image->xmpData());
    if (text.isEmpty())
        return std::nullopt;
    return Caption {text, QStringLiteral("sidecar ") + what};
}

} // namespace

ExportOutcome exportCaption(const QString& path, bool embed)
{
    const store::PictureFormat format = store::formatForFileName(path); // a picture's name, or the error saying why not
    const QByteArray bytes = platform::readWholeFile(path);
    const qint64 marker = store::findMarker(platform::asBytes(bytes));
    const QByteArray description = marker < 0 ? QByteArray() : bytes.mid(marker + qint64(store::kMarker.size()));
    if (description.isEmpty())
        return ExportOutcome::NoDescription;
    const bool intoPicture = embed && format == store::PictureFormat::Jpeg;
    const QString text = sharedText(description, intoPicture);
    if (intoPicture)
        embedIntoJpeg(path, bytes, marker, text);
    else
        exportToSidecar(path + QStringLiteral(".xmp"), text);
    return ExportOutcome::Exported;
}

std::optional<Caption> findCaption(const QString& path, const QByteArray& fileBytes)
{
    const QFileInfo info(path);
    for (const QString& sidecar :
        {path + QStringLiteral(".xmp"), info.dir().filePath(info.completeBaseName() + QStringLiteral(".xmp"))}) {
        if (auto caption = sidecarCaption(sidecar))
            return caption;
    }
    if (store::formatForFileName(path) != store::PictureFormat::Jpeg)
        return std::nullopt;

    const QString what = describe(path);
    const qint64 marker = store::findMarker(platform::asBytes(fileBytes));
    const ImagePtr image = readMetadata(marker < 0 ? fileBytes : fileBytes.left(marker), Exiv2::ImageType::jpeg, what);
    const QString xmp = xmpDescription(image->xmpData());
    if (!xmp.isEmpty())
        return Caption {xmp, QStringLiteral("XMP")};
    const Exiv2::ExifData& exif = image->exifData();
    if (const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageDescription")); found != exif.end()) {
        if (QString text = utf8OrCp1250(found->toString()); !text.isEmpty())
            return Caption {text, QStringLiteral("Exif")};
    }
    if (QString text = iptcCaption(image->iptcData(), what); !text.isEmpty())
        return Caption {text, QStringLiteral("IPTC")};
    if (QString text = utf8OrCp1250(image->comment()); !text.isEmpty())
        return Caption {text, QStringLiteral("comment")};
    return std::nullopt;
}

ImportResult importCaption(const QString& path, const ImportOptions& options)
{
    const QByteArray bytes = platform::readWholeFile(path);
    (void)store::loadPicture(path, bytes); // a picture this program can read, or the error saying why not
    const std::optional<Caption> caption = findCaption(path, bytes);
    ImportResult result;
    if (!caption)
        return result;
    result.source = caption->source;
    std::vector<char32_t> unencodable;
    const QByteArray description = store::fieldTextToDescription(caption->text, &unencodable);
    if (!unencodable.empty() && !options.lossy) {
        throw platform::AppError(QStringLiteral("%1 (%2; --lossy stores them as \"?\")")
                                     .arg(store::unencodableMessage(unencodable), caption->source));
    }
    result.replaced = int(unencodable.size());
    const qint64 marker = store::findMarker(platform::asBytes(bytes));
    const QByteArray current = marker < 0 ? QByteArray() : bytes.mid(marker + qint64(store::kMarker.size()));
    if (marker >= 0 && current == description) {
        result.outcome = ImportOutcome::AlreadyThere;
    } else if (!current.isEmpty() && !options.force) {
        result.outcome = ImportOutcome::Kept;
    } else {
        store::replaceDescription(path, description);
        result.outcome = ImportOutcome::Imported;
    }
    return result;
}

} // namespace interop
