#include "captions.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "store/described_file.h"
#include "store/description_codec.h"
#include "store/picture_transaction.h"

#include <QStringDecoder>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace interop {

namespace {

class Exiv2Complaints;
/** The collector Exiv2's log goes to now, if any. */
Exiv2Complaints* currentComplaints = nullptr;

/**
 * Collects what Exiv2 reports while it reads or writes. Exiv2 answers damaged metadata with a warning and an empty
 * result rather than an error, and metadata too large for its block with a warning and a block without it; writing
 * that result would silently drop what it left out, so whoever rewrites metadata must know. Exiv2's log is
 * process-wide: this runs in the command-line tool's one thread only.
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

    /** Raises AppError naming `what` when Exiv2 complained while it read (or, `writing`, while it wrote). */
    void check(const QString& what, bool writing = false) const
    {
        if (m_messages.isEmpty())
            return;
        if (writing)
            throw platform::AppError(QStringLiteral("%1: its metadata could not be written whole (%2), so the file "
                                                    "is left as it was")
                                         .arg(what, m_messages.first()));
        throw platform::AppError(QStringLiteral("the metadata of %1 is damaged (%2)").arg(what, m_messages.first()));
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
        {
            Exiv2Complaints complaints;
            image.writeMetadata();
            complaints.check(what, true);
        }
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

/** A sidecar's bytes, or empty ones when there is none; a sidecar is never read through a symbolic link. */
QByteArray sidecarBytesIfPresent(const platform::FilePath& path)
{
    try {
        return platform::readFileNotLink(path);
    } catch (const platform::IoError& e) {
        if (e.errorCode() == ENOENT)
            return {};
        if (e.errorCode() == ELOOP)
            throw platform::AppError(
                QStringLiteral("%1 is a symbolic link; a sidecar is never read or written through one")
                    .arg(path.fileName().display()));
        throw;
    }
}

QString describe(const platform::FilePath& path)
{
    return path.fileName().display();
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

void exportToSidecar(const platform::FilePath& sidecar, const QString& text)
{
    const QString what = describe(sidecar);
    const ImagePtr image = readMetadata(sidecarBytesIfPresent(sidecar), Exiv2::ImageType::xmp, what);
    setDescription(image->xmpData(), text);
    try {
        platform::replaceFileNotLink(sidecar, {platform::asBytes(writtenBytes(*image, what))});
    } catch (const platform::IoError& e) {
        if (e.errorCode() != ELOOP)
            throw;
        (void)sidecarBytesIfPresent(sidecar); // says why
    }
}

/** Every value of every tag, by key, in the order Exiv2 gives them (IPTC tags may repeat). */
using MetadataValues = std::map<std::string, std::vector<std::string>>;

MetadataValues valuesOf(Exiv2::Image& image)
{
    MetadataValues values;
    for (const Exiv2::Exifdatum& datum : image.exifData())
        values[datum.key()].push_back(datum.toString());
    for (const Exiv2::Iptcdatum& datum : image.iptcData())
        values[datum.key()].push_back(datum.toString());
    for (const Exiv2::Xmpdatum& datum : image.xmpData())
        values[datum.key()].push_back(datum.toString());
    values["comment"].push_back(image.comment());
    return values;
}

/**
 * Whether a tag's value is where other data lies in the Exif block rather than data of its own: a rewrite moves that
 * data, so its value changes while nothing is lost.
 */
bool isOffset(const std::string& key)
{
    static const std::set<std::string> offsets {"Exif.Image.ExifTag", "Exif.Image.GPSTag",
        "Exif.Photo.InteroperabilityTag", "Exif.Thumbnail.JPEGInterchangeFormat", "Exif.Image.StripOffsets",
        "Exif.Image.TileOffsets", "Exif.Thumbnail.StripOffsets", "Exif.MakerNote.Offset"};
    return offsets.count(key) != 0;
}

/** The caption fields an export writes; every other tag must read back as it was. */
const std::set<std::string>& captionKeys()
{
    static const std::set<std::string> keys {
        "Xmp.dc.description", "Exif.Image.ImageDescription", "Iptc.Application2.Caption", "Iptc.Envelope.CharacterSet"};
    return keys;
}

/** How many standard XMP packets the JPEG's header segments hold (an extended XMP's parts not counted). */
int xmpPackets(const QByteArray& jpeg)
{
    static const QByteArray signature("http://ns.adobe.com/xap/1.0/\0", 29);
    int packets = 0;
    qsizetype at = 2; // after SOI
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF) {
        const quint8 marker = quint8(jpeg[at + 1]);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break; // the scan: no header segment follows
        const qsizetype length = (quint8(jpeg[at + 2]) << 8) | quint8(jpeg[at + 3]);
        if (marker == 0xE1 && jpeg.sliced(at + 4, std::min(length - 2, jpeg.size() - at - 4)).startsWith(signature))
            ++packets;
        at += 2 + length;
    }
    return packets;
}

/**
 * Sets the captions of `image` to `text`: XMP dc:description always; Exif ImageDescription and IPTC Caption-Abstract
 * where they can hold the text (Exif only ASCII, IPTC only ASCII or under a UTF-8 character set), and otherwise
 * they are removed, so that no caption keeps an older text.
 */
void setCaptions(Exiv2::Image& image, const QString& text)
{
    setDescription(image.xmpData(), text);
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    Exiv2::ExifData& exif = image.exifData();
    if (ascii) {
        exif["Exif.Image.ImageDescription"] = text.toStdString();
    } else if (const auto old = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageDescription")); old != exif.end()) {
        exif.erase(old);
    }
    Exiv2::IptcData& iptc = image.iptcData();
    const Exiv2::IptcKey captionKey("Iptc.Application2.Caption");
    if (iptc.findKey(captionKey) == iptc.end())
        return;
    const auto charset = iptc.findKey(Exiv2::IptcKey("Iptc.Envelope.CharacterSet"));
    const bool utf8 = charset != iptc.end() && charset->toString() == "\x1B%G";
    for (auto old = iptc.findKey(captionKey); old != iptc.end(); old = iptc.findKey(captionKey))
        iptc.erase(old);
    if (ascii || utf8)
        iptc["Iptc.Application2.Caption"] = text.toStdString();
}

/**
 * Raises AppError, naming the first difference, unless `after` holds every value of `before` but the captions (and
 * the offsets a rewrite moves), and every caption holds `text` or is absent.
 */
void checkKept(const MetadataValues& before, const MetadataValues& after, const QString& text, const QString& what)
{
    for (const auto& [key, values] : before) {
        if (captionKeys().count(key) != 0 || isOffset(key))
            continue;
        const auto found = after.find(key);
        if (found == after.end() || found->second != values) {
            throw platform::AppError(
                QStringLiteral("%1: writing the description would %2 %3, so the file is left as it was")
                    .arg(what, QLatin1String(found == after.end() ? "drop" : "change"), QString::fromStdString(key)));
        }
    }
    for (const char* key : {"Exif.Image.ImageDescription", "Iptc.Application2.Caption"}) {
        const auto found = after.find(key);
        if (found != after.end() && found->second != std::vector<std::string> {text.toStdString()})
            throw platform::AppError(QStringLiteral("%1: %2 would keep another text, so the file is left as it was")
                                         .arg(what, QLatin1String(key)));
    }
}

QString xmpDescription(const Exiv2::XmpData& xmp);

void embedIntoJpeg(store::PictureTransaction& change, const QString& text)
{
    const QString what = describe(change.path());
    // The picture's own bytes are what Exiv2 rewrites; a marker inside them would leave the block's start unknown.
    const QByteArray pictureBytes = change.pictureBytes();
    if (xmpPackets(pictureBytes) > 1)
        throw platform::AppError(
            QStringLiteral("%1 holds more than one XMP packet, and only the first would be updated").arg(what));
    const ImagePtr image = readMetadata(pictureBytes, Exiv2::ImageType::jpeg, what);
    const MetadataValues before = valuesOf(*image);
    setCaptions(*image, text);
    const QByteArray written = writtenBytes(*image, what);
    if (store::findMarker(platform::asBytes(written)) >= 0)
        throw platform::AppError(QStringLiteral("%1: the picture's metadata would hold the marker \"@||@\"").arg(what));
    // What Exiv2 wrote is read back as any reader will read it.
    const ImagePtr check = readMetadata(written, Exiv2::ImageType::jpeg, what);
    checkKept(before, valuesOf(*check), text, what);
    if (xmpDescription(check->xmpData()) != text || xmpPackets(written) != 1)
        throw platform::AppError(QStringLiteral("%1: the XMP description did not read back").arg(what));
    change.replacePicture(written);
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

std::optional<Caption> sidecarCaption(const platform::FilePath& sidecar)
{
    const QByteArray bytes = sidecarBytesIfPresent(sidecar);
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

ExportOutcome exportCaption(const platform::FilePath& path, bool embed)
{
    store::PictureTransaction change(path);
    const QByteArray description = change.description().value_or(QByteArray());
    if (description.isEmpty())
        return ExportOutcome::NoDescription;
    const bool intoPicture = embed && change.format() == store::PictureFormat::Jpeg;
    const QString text = sharedText(description, intoPicture);
    if (intoPicture)
        embedIntoJpeg(change, text);
    else
        exportToSidecar(path.withSuffix(".xmp"), text);
    return ExportOutcome::Exported;
}

std::optional<Caption> findCaption(const platform::FilePath& path, const QByteArray& fileBytes)
{
    const QByteArray& name = path.bytes();
    const qsizetype slash = name.lastIndexOf('/');
    const qsizetype dot = name.lastIndexOf('.');
    const platform::FilePath sibling(dot > slash ? name.left(dot) + ".xmp" : name + ".xmp");
    for (const platform::FilePath& sidecar : {path.withSuffix(".xmp"), sibling}) {
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

ImportResult importCaption(const platform::FilePath& path, const ImportOptions& options)
{
    store::PictureTransaction change(path);
    (void)change.pictureBytes(); // a picture this program can read and describe, or the error saying why not
    const std::optional<Caption> caption = findCaption(path, change.bytes());
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
    const std::optional<QByteArray> current = change.description();
    if (current == description) {
        result.outcome = ImportOutcome::AlreadyThere;
    } else if (current && !current->isEmpty() && !options.force) {
        result.outcome = ImportOutcome::Kept;
    } else {
        change.writeDescription(description);
        result.outcome = ImportOutcome::Imported;
    }
    return result;
}

} // namespace interop
