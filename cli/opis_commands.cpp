#include "opis_commands.h"

#include "interop_commands.h"
#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"
#include "platform/version.h"
#include "search_command.h"
#include "store/described_file.h"
#include "store/picture_transaction.h"

#include <QBuffer>
#include <QStringDecoder>

#include <algorithm>

namespace cli {

namespace {

constexpr const char* kUsage = R"(Usage: zelkavio-opis COMMAND FILE [OPTIONS]

Reads and edits the description stored inside a picture file (BMP, JPEG, EMF, WMF) behind the marker "@||@".

Commands:
  info FILE                  format, width and height as stored, description block length (for JPEG also grey,
                             progressive and the Exif orientation, 1 to 8)
  show FILE [--raw]          the description as UTF-8 text, or with --raw its bytes exactly as stored
                             (line breaks as stored, nothing added; nothing at all without a description)
  length FILE                the description block length: 0 without a description, 4 for an empty one
  write FILE --text TEXT [--lossy]
                             replace the description with TEXT (UTF-8; stored in Windows-1250 with CR LF breaks);
                             a text with characters Windows-1250 cannot hold is refused and nothing is written,
                             unless --lossy is given: they are then stored as "?"
  write FILE --text-file PATH [--lossy]  the same with the text of a UTF-8 file
  write FILE --raw-file PATH   replace the description with the bytes of a file, exactly as they are
  strip FILE                 delete the description block of a picture file (the picture's bytes are kept as
                             they are)
  render FILE OUT.png        draw the picture at its natural size into a PNG file (a photo upright, as its Exif
                             orientation says)
  search [--match-case] [--threads N] PHRASE DIR
                             print the names of the pictures in DIR, listed as the viewer lists them, whose bytes
                             (picture and description) hold PHRASE, one a line in list order; without --match-case
                             only the letters a-z match A-Z; N threads read the files (default: one per processor)
  dump [--recursive] [--json] DIR...
                             a backup of the descriptions: one record per picture (path relative to DIR, format,
                             length and SHA-256 of the picture's bytes, whether it has a block, the description's
                             stored bytes as Windows-1250 text) as tab-separated lines under a header, with
                             \t \r \n \0 \\ escaped, or with --json as JSON Lines; the first line says that a
                             trailer ends the dump, and the trailer gives the number of records (TSV:
                             "#trailer<TAB>records<TAB>N", JSON: {"trailer":true,"records":N})
  restore [--dry-run] [--force] [--partial] [--by-path] DUMP DIR
                             put the descriptions of a dump back, each only into a picture whose bytes have the
                             SHA-256 it recorded: the file at its path, else the one file under DIR with them
                             (--by-path: the file at its path whatever its bytes); a file with another description
                             is left alone unless --force; a dump cut short (no trailer) is refused unless --partial,
                             which restores its complete records; prints what it did and a summary; exit status 0
                             only when every record was restored or already there
  export-xmp [--embed] FILE|DIR...
                             write each description as XMP dc:description into a sidecar NAME.EXT.xmp; with --embed
                             into JPEGs themselves (XMP, and Exif ImageDescription for ASCII text)
  import-xmp [--force] [--lossy] FILE|DIR...
                             make the first caption found (sidecar NAME.EXT.xmp, NAME.xmp, XMP, Exif, IPTC, JPEG
                             comment) the description of a picture that has none (any picture with --force);
                             with --lossy characters Windows-1250 cannot hold are stored as "?" instead of refused
  --help                     this text
  --version                  the tool's version

Exit status: 0 success, 1 failure, 2 wrong usage.
For search, as grep: 0 when a picture holds the phrase, 1 when none does, 2 on wrong usage or a failure.
)";

int info(const CommandLine& line, std::ostream& out)
{
    expect(line, 1, {});
    const store::DescribedPicture read = store::readDescribedFile(platform::FilePath::fromText(line.positional[0]));
    const store::Picture& picture = *read.picture;
    printLine(out, QStringLiteral("format: %1").arg(QLatin1String(store::formatName(picture.format()))));
    printLine(out, QStringLiteral("width: %1").arg(picture.storedSize().width()));
    printLine(out, QStringLiteral("height: %1").arg(picture.storedSize().height()));
    printLine(out, QStringLiteral("block-length: %1").arg(read.blockLength));
    for (const QString& detail : picture.details())
        printLine(out, detail);
    return Success;
}

int show(const CommandLine& line, std::ostream& out)
{
    expect(line, 1, {"--raw"});
    const store::DescribedPicture read = store::readDescribedFile(platform::FilePath::fromText(line.positional[0]));
    if (!read.description)
        return Success; // no marker, nothing to show; `length` tells this from an empty description
    if (line.options.count(QStringLiteral("--raw")) != 0) {
        print(out, *read.description);
        return Success;
    }
    QByteArray text = platform::cp1250::decode(*read.description).toUtf8();
    // Text ends with a line break, so that what follows (a shell prompt) starts on a line of its own.
    if (!text.isEmpty() && !text.endsWith('\n') && !text.endsWith('\r'))
        text += '\n';
    print(out, text);
    return Success;
}

int length(const CommandLine& line, std::ostream& out)
{
    expect(line, 1, {});
    printLine(
        out, QString::number(store::readDescribedFile(platform::FilePath::fromText(line.positional[0])).blockLength));
    return Success;
}

int write(const CommandLine& line, std::ostream& err)
{
    expect(line, 1, {"--text", "--text-file", "--raw-file", "--lossy"});
    const bool lossy = line.options.count(QStringLiteral("--lossy")) != 0;
    if (line.options.size() != (lossy ? 2 : 1))
        throw UsageError {QStringLiteral("write needs exactly one of --text, --text-file and --raw-file")};
    const auto& [option, value] = *std::find_if(
        line.options.begin(), line.options.end(), [](const auto& entry) { return entry.first != u"--lossy"; });
    if (lossy && option == u"--raw-file")
        throw UsageError {QStringLiteral("--lossy goes with --text or --text-file")};

    // The new description is ready before the file is touched, so a bad text changes nothing.
    QByteArray description;
    std::vector<char32_t> unencodable;
    if (option == u"--text")
        description = descriptionFromUtf8(platform::fileNameBytes(*value), &unencodable);
    else if (option == u"--text-file")
        description = descriptionFromUtf8(platform::readWholeFile(platform::FilePath::fromText(*value)), &unencodable);
    else
        description = platform::readWholeFile(platform::FilePath::fromText(*value));
    if (!unencodable.empty() && !lossy)
        throw platform::AppError(store::unencodableMessage(unencodable));

    // One atomic replacement: a write that fails (a full disk, a file-size limit) leaves the old file whole.
    store::PictureTransaction(platform::FilePath::fromText(line.positional[0])).writeDescription(description);
    if (!unencodable.empty()) {
        print(err,
            QStringLiteral("zelkavio-opis: %1 character(s) have no Windows-1250 form and were stored as \"?\"\n")
                .arg(unencodable.size())
                .toUtf8());
    }
    return Success;
}

int strip(const CommandLine& line)
{
    expect(line, 1, {});
    store::PictureTransaction(platform::FilePath::fromText(line.positional[0])).stripDescriptionBlock();
    return Success;
}

int render(const CommandLine& line)
{
    expect(line, 2, {});
    const platform::FilePath path = platform::FilePath::fromText(line.positional[0]);
    const platform::FilePath target = platform::FilePath::fromText(line.positional[1]);
    const auto picture = store::loadPicture(path, platform::readWholeFile(path));
    // Encoded in memory and written by the target's exact name (Qt's own file classes would change a name that
    // is not UTF-8).
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture->image().save(&buffer, "PNG"))
        throw platform::AppError(QStringLiteral("cannot write the PNG file %1").arg(target.display()));
    platform::replaceFile(target, {platform::asBytes(png)});
    return Success;
}

int run(const QStringList& args, std::ostream& out, std::ostream& err)
{
    const CommandLine line = parse(args);
    if (line.command == u"--help" || line.command == u"-h" || line.command == u"help") {
        out << kUsage;
        return Success;
    }
    if (line.command == u"--version") {
        out << "zelkavio-opis " ZELKAVIO_VERSION "\n";
        return Success;
    }
    if (line.command.isEmpty())
        throw UsageError {QStringLiteral("missing command")};
    if (line.command == u"info")
        return info(line, out);
    if (line.command == u"show")
        return show(line, out);
    if (line.command == u"length")
        return length(line, out);
    if (line.command == u"write")
        return write(line, err);
    if (line.command == u"strip")
        return strip(line);
    if (line.command == u"render")
        return render(line);
    if (line.command == u"search")
        return searchPictures(line, out);
    if (line.command == u"dump")
        return dumpDescriptions(line, out, err);
    if (line.command == u"restore")
        return restoreDescriptions(line, out, err);
    if (line.command == u"export-xmp")
        return exportXmp(line, out, err);
    if (line.command == u"import-xmp")
        return importXmp(line, out, err);
    throw UsageError {QStringLiteral("unknown command %1").arg(line.command)};
}

} // namespace

int runOpis(const QStringList& args, std::ostream& out, std::ostream& err)
{
    return runReporting(args, out, err, [&] { return run(args, out, err); });
}

bool needsGuiApplication(const QStringList& args)
{
    return args.value(0) == u"render";
}

QByteArray descriptionFromUtf8(const QByteArray& utf8, std::vector<char32_t>* unencodable)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (decoder.hasError())
        throw platform::AppError(QStringLiteral("the description text is not valid UTF-8"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1); // a byte-order mark is not part of the text
    return store::fieldTextToDescription(text, unencodable);
}

} // namespace cli
