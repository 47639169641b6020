#include "dump.h"

#include "picture_files.h"
#include "platform/cp1250.h"
#include "platform/file_io.h"
#include "store/described_file.h"
#include "store/picture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <algorithm>

#include <openssl/evp.h>

namespace interop {

namespace {

constexpr char kTsvHeader[] = "path\tformat\tpicture-length\tpicture-sha256\tblock\tdescription\n";
/** The first line of a dump that ends with a trailer, and the trailer's start (TSV). */
constexpr char kTsvIntroduction[] = "#zelkavio-opis-dump\t2\ttrailer\n";
constexpr char kTsvTrailer[] = "#trailer\trecords\t";
/** The same keys in JSON Lines. */
constexpr char kJsonIntroductionKey[] = "zelkavio-opis-dump";
constexpr char kJsonTrailerKey[] = "trailer";

/** `bytes` as UTF-8 text, or an empty optional when they are not valid UTF-8. */
std::optional<QString> strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

/**
 * Text back to the Windows-1250 bytes it was decoded from. Unlike cp1250::encode, nothing is composed or replaced:
 * a character without a byte of its own is an error, so what reads back is exactly what was dumped.
 */
QByteArray cp1250Exactly(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const int byte = platform::cp1250::fromUnicode(c);
        if (byte < 0) {
            throw platform::AppError(
                QStringLiteral("the character U+%1 has no Windows-1250 byte").arg(int(c), 4, 16, QLatin1Char('0')));
        }
        bytes += char(byte);
    }
    return bytes;
}

QByteArray descriptionText(const std::optional<QByteArray>& description)
{
    return description ? platform::cp1250::decode(*description).toUtf8() : QByteArray();
}

QByteArray escapeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (const char c : field) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray unescapeField(const QByteArray& field, const char* name)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            throw platform::AppError(QStringLiteral("the %1 ends in a lone backslash").arg(QLatin1String(name)));
        switch (field[i]) {
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            throw platform::AppError(QStringLiteral("the %1 holds an unknown escape \\%2")
                                         .arg(QLatin1String(name), QString::fromLatin1(field.mid(i, 1))));
        }
    }
    return out;
}

QByteArray checkedFormat(const QByteArray& format)
{
    if (!store::formatNamed(format))
        throw platform::AppError(QStringLiteral("unknown format \"%1\"").arg(QString::fromUtf8(format)));
    return format;
}

qint64 checkedLength(const QByteArray& text)
{
    bool ok = false;
    const qint64 length = text.toLongLong(&ok);
    // Beyond 2^53 bytes a JSON number would no longer hold the length exactly; no file is that large.
    if (!ok || length < 0 || length > (qint64(1) << 53) || text.startsWith('+') || text.startsWith(' '))
        throw platform::AppError(QStringLiteral("the picture length is not a byte count"));
    return length;
}

QByteArray checkedSha256(const QByteArray& text)
{
    const QByteArray lower = text.toLower();
    const bool hex = lower.size() == 64 && std::all_of(lower.begin(), lower.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    if (!hex)
        throw platform::AppError(QStringLiteral("the SHA-256 is not 64 hexadecimal digits"));
    return lower;
}

std::optional<QByteArray> checkedDescription(bool block, const QByteArray& utf8)
{
    if (!block) {
        if (!utf8.isEmpty())
            throw platform::AppError(QStringLiteral("a description without a block"));
        return std::nullopt;
    }
    const std::optional<QString> text = strictUtf8(utf8);
    if (!text)
        throw platform::AppError(QStringLiteral("the description is not UTF-8"));
    return cp1250Exactly(*text);
}

DumpRecord tsvRecord(const QByteArray& line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 6)
        throw platform::AppError(QStringLiteral("%1 fields instead of 6").arg(fields.size()));
    if (fields[4] != "yes" && fields[4] != "no")
        throw platform::AppError(QStringLiteral("the block field is neither \"yes\" nor \"no\""));
    DumpRecord record;
    record.path = platform::FilePath(unescapeField(fields[0], "path"));
    record.format = checkedFormat(fields[1]);
    record.pictureLength = checkedLength(fields[2]);
    record.pictureSha256 = checkedSha256(fields[3]);
    record.description = checkedDescription(fields[4] == "yes", unescapeField(fields[5], "description"));
    return record;
}

QJsonValue field(const QJsonObject& object, const char* name, QJsonValue::Type type)
{
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.type() != type)
        throw platform::AppError(
            QStringLiteral("the field \"%1\" is missing or of the wrong type").arg(QLatin1String(name)));
    return value;
}

DumpRecord jsonRecord(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError)
        throw platform::AppError(QStringLiteral("not JSON: %1").arg(error.errorString()));
    if (!document.isObject())
        throw platform::AppError(QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    DumpRecord record;
    if (object.contains(QLatin1String("path-bytes"))) {
        record.path = platform::FilePath(
            QByteArray::fromHex(field(object, "path-bytes", QJsonValue::String).toString().toLatin1()));
    } else {
        record.path = platform::FilePath(field(object, "path", QJsonValue::String).toString().toUtf8());
    }
    record.format = checkedFormat(field(object, "format", QJsonValue::String).toString().toUtf8());
    const double length = field(object, "picture-length", QJsonValue::Double).toDouble();
    record.pictureLength = checkedLength(QByteArray::number(length, 'f', 0));
    if (double(record.pictureLength) != length)
        throw platform::AppError(QStringLiteral("the picture length is not a byte count"));
    record.pictureSha256 = checkedSha256(field(object, "picture-sha256", QJsonValue::String).toString().toLatin1());
    const bool block = field(object, "block", QJsonValue::Bool).toBool();
    const QJsonValue description = object.value(QLatin1String("description"));
    if (block && !description.isString())
        throw platform::AppError(QStringLiteral("the field \"description\" is missing or of the wrong type"));
    record.description = checkedDescription(block, block ? description.toString().toUtf8() : QByteArray());
    return record;
}

} // namespace

QByteArray sha256Hex(platform::ByteView bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // OpenSSL's SHA-256 uses the processor's SHA instructions where it has them: hashing is most of a dump's work.
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw platform::AppError(QStringLiteral("SHA-256 failed"));
    return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
}

QByteArray pictureSha256(platform::ByteView fileBytes)
{
    const qint64 marker = store::findMarker(fileBytes);
    return sha256Hex(fileBytes.first(marker < 0 ? fileBytes.size() : std::size_t(marker)));
}

DumpRecord recordOf(const platform::FilePath& relativePath, platform::ByteView fileBytes)
{
    DumpRecord record;
    record.path = relativePath;
    record.format = store::formatName(store::formatForFileName(relativePath));
    const qint64 marker = store::findMarker(fileBytes);
    record.pictureLength = marker < 0 ? qint64(fileBytes.size()) : marker;
    record.pictureSha256 = sha256Hex(fileBytes.first(std::size_t(record.pictureLength)));
    if (marker >= 0)
        record.description = platform::toByteArray(fileBytes.subspan(std::size_t(marker) + store::kMarker.size()));
    return record;
}

QByteArray dumpHeader(DumpFormat format)
{
    if (format == DumpFormat::Tsv)
        return QByteArray(kTsvIntroduction) + kTsvHeader;
    QJsonObject introduction;
    introduction.insert(QLatin1String(kJsonIntroductionKey), 2);
    introduction.insert(QLatin1String(kJsonTrailerKey), true);
    return QJsonDocument(introduction).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray dumpTrailer(DumpFormat format, std::size_t records)
{
    if (format == DumpFormat::Tsv)
        return kTsvTrailer + QByteArray::number(qulonglong(records)) + '\n';
    QJsonObject trailer;
    trailer.insert(QLatin1String(kJsonTrailerKey), true);
    trailer.insert(QLatin1String("records"), double(records));
    return QJsonDocument(trailer).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray formatRecord(const DumpRecord& record, DumpFormat format)
{
    if (format == DumpFormat::Tsv) {
        return escapeField(record.path.bytes()) + '\t' + record.format + '\t' + QByteArray::number(record.pictureLength)
            + '\t' + record.pictureSha256 + '\t' + (record.description ? "yes" : "no") + '\t'
            + escapeField(descriptionText(record.description)) + '\n';
    }
    QJsonObject object;
    if (const std::optional<QString> path = strictUtf8(record.path.bytes())) {
        object.insert(QLatin1String("path"), *path);
    } else {
        // A name that is not UTF-8 is shown as the viewer shows it, and kept exactly beside.
        object.insert(QLatin1String("path"), platform::cp1250::decode(record.path.bytes()));
        object.insert(QLatin1String("path-bytes"), QString::fromLatin1(record.path.bytes().toHex()));
    }
    object.insert(QLatin1String("format"), QString::fromLatin1(record.format));
    object.insert(QLatin1String("picture-length"), double(record.pictureLength));
    object.insert(QLatin1String("picture-sha256"), QString::fromLatin1(record.pictureSha256));
    object.insert(QLatin1String("block"), record.description.has_value());
    object.insert(QLatin1String("description"),
        record.description ? QJsonValue(platform::cp1250::decode(*record.description)) : QJsonValue());
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

namespace {

/** The count a trailer line gives, or -1 when `line` is no trailer. */
qint64 trailerCount(const QByteArray& line, bool tsv)
{
    QByteArray count;
    if (tsv) {
        if (!line.startsWith(kTsvTrailer))
            return -1;
        count = line.mid(qsizetype(sizeof kTsvTrailer) - 1);
    } else {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (!object.value(QLatin1String(kJsonTrailerKey)).toBool())
            return -1;
        count = QByteArray::number(object.value(QLatin1String("records")).toDouble(-1), 'f', 0);
    }
    bool ok = false;
    const qint64 value = count.toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

bool isJsonIntroduction(const QByteArray& line)
{
    return line.startsWith('{') && QJsonDocument::fromJson(line).object().contains(QLatin1String(kJsonIntroductionKey));
}

} // namespace

Dump readDump(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    // What follows the last line feed: empty in a whole dump, the rest of a line cut off in one cut short.
    const QByteArray unterminated = lines.takeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1); // a dump that went through a program writing CR LF; the fields escape their own CRs
    }
    Dump dump;
    const QByteArray introduction = QByteArray(kTsvIntroduction).chopped(1);
    const QByteArray header = QByteArray(kTsvHeader).chopped(1);
    const QByteArray first = lines.isEmpty() ? unterminated : lines.front();
    dump.checkable = first == introduction || isJsonIntroduction(first);
    if (!dump.checkable && !unterminated.isEmpty())
        lines.push_back(unterminated); // read as dumps without a trailer always were
    qsizetype start = 0;
    if (dump.checkable)
        ++start;
    const bool tsv = lines.size() > start && lines[start] == header;
    if (tsv)
        ++start;
    const auto firstRecord
        = std::find_if(lines.begin() + start, lines.end(), [](const QByteArray& l) { return !l.isEmpty(); });
    const bool jsonLines = dump.checkable && first != introduction;
    if (!tsv && !jsonLines && (firstRecord == lines.end() || !firstRecord->startsWith('{')))
        throw platform::AppError(
            QStringLiteral("not a dump: it starts neither with the header line nor with a JSON record"));

    qsizetype end = lines.size();
    if (dump.checkable) {
        while (end > start && lines[end - 1].isEmpty())
            --end;
        const qint64 count = end > start ? trailerCount(lines[end - 1], tsv) : -1;
        if (count >= 0)
            --end;
        const auto records = std::count_if(
            lines.begin() + start, lines.begin() + end, [](const QByteArray& l) { return !l.isEmpty(); });
        if (!unterminated.isEmpty())
            dump.incomplete = QStringLiteral("its last line was cut off");
        else if (count < 0)
            dump.incomplete = QStringLiteral("its trailer line is missing");
        else if (count != records)
            dump.incomplete = QStringLiteral("its trailer counts %1 records, it holds %2").arg(count).arg(records);
    }
    for (qsizetype i = start; i < end; ++i) {
        if (lines[i].isEmpty())
            continue;
        DumpLine line;
        line.lineNumber = int(i + 1);
        try {
            line.record = tsv ? tsvRecord(lines[i]) : jsonRecord(lines[i]);
        } catch (const platform::AppError& e) {
            line.error = e.message();
        }
        dump.lines.push_back(std::move(line));
    }
    return dump;
}

void dumpDirectory(const platform::FilePath& directory, bool recursive,
    const std::function<void(const DumpRecord&)>& onRecord,
    const std::function<void(const platform::AppError&)>& onError,
    const std::function<void(std::size_t done, std::size_t total)>& onProgress)
{
    const std::vector<platform::FilePath> files = listPictures(directory, recursive, onError);
    for (std::size_t i = 0; i < files.size(); ++i) {
        try {
            const QByteArray bytes = platform::readWholeFile(directory / files[i]);
            onRecord(recordOf(files[i], platform::asBytes(bytes)));
        } catch (const platform::AppError& e) {
            onError(e);
        }
        onProgress(i + 1, files.size());
    }
}

} // namespace interop
