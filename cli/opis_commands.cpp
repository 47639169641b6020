#include "opis_commands.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "search/phrase_search.h"
#include "store/described_file.h"
#include "viewer/file_listing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>

#include <map>
#include <optional>

namespace cli {

namespace {

constexpr const char* kUsage = R"(Usage: zelkavio-opis COMMAND FILE [OPTIONS]

Reads and edits the description stored inside a picture file (BMP, JPEG, EMF, WMF) behind the marker "@||@".

Commands:
  info FILE                  format, width, height and description block length (grey and progressive for JPEG)
  show FILE [--raw]          the description as UTF-8 text, or with --raw its bytes exactly as stored
                             (line breaks as stored, nothing added; nothing at all without a description)
  length FILE                the description block length: 0 without a description, 4 for an empty one
  write FILE --text TEXT     replace the description with TEXT (UTF-8; stored in Windows-1250 with CR LF breaks)
  write FILE --text-file PATH  the same with the text of a UTF-8 file
  write FILE --raw-file PATH   replace the description with the bytes of a file, exactly as they are
  strip FILE                 delete the description block (the picture's bytes are kept as they are)
  render FILE OUT.png        draw the picture at its natural size into a PNG file
  search [--match-case] [--threads N] PHRASE DIR
                             print the names of the pictures in DIR, listed as the viewer lists them, whose bytes
                             (picture and description) hold PHRASE, one a line in list order; without --match-case
                             only the letters a-z match A-Z; N threads read the files (default: one per processor)
  --help                     this text

Exit status: 0 success, 1 failure, 2 wrong usage.
For search, as grep: 0 when a picture holds the phrase, 1 when none does, 2 on wrong usage or a failure.
)";

/** A wrong command line: reported with a hint to --help and exit status 2. */
struct UsageError {
    QString message;
};

struct CommandLine {
    QString command;
    QStringList positional;
    std::map<QString, std::optional<QString>> options; // an option and its value, if it takes one
};

bool takesValue(const QString& option)
{
    return option == u"--text" || option == u"--text-file" || option == u"--raw-file" || option == u"--threads";
}

bool isFlag(const QString& option)
{
    return option == u"--raw" || option == u"--match-case";
}

CommandLine parse(const QStringList& args)
{
    CommandLine line;
    line.command = args.value(0);
    bool onlyPositional = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositional || !arg.startsWith(u'-') || arg == u"-") {
            line.positional << arg;
        } else if (arg == u"--") {
            onlyPositional = true;
        } else if (isFlag(arg) || takesValue(arg)) {
            if (line.options.count(arg) != 0)
                throw UsageError {QStringLiteral("option %1 given twice").arg(arg)};
            if (!takesValue(arg)) {
                line.options[arg] = std::nullopt;
            } else if (i + 1 < args.size()) {
                line.options[arg] = args[++i];
            } else {
                throw UsageError {QStringLiteral("option %1 needs a value").arg(arg)};
            }
        } else {
            throw UsageError {QStringLiteral("unknown option %1").arg(arg)};
        }
    }
    return line;
}

void expect(const CommandLine& line, qsizetype positional, std::initializer_list<const char*> allowedOptions)
{
    if (line.positional.size() < positional)
        throw UsageError {QStringLiteral("%1: missing file name").arg(line.command)};
    if (line.positional.size() > positional)
        throw UsageError {QStringLiteral("%1: unexpected argument %2").arg(line.command, line.positional[positional])};
    for (const auto& [option, value] : line.options) {
        bool allowed = false;
        for (const char* name : allowedOptions)
            allowed = allowed || option == QLatin1String(name);
        if (!allowed)
            throw UsageError {QStringLiteral("%1 does not take %2").arg(line.command, option)};
    }
}

void print(std::ostream& out, const QByteArray& bytes)
{
    out.write(bytes.constData(), static_cast<std::streamsize>(bytes.size()));
}

void printLine(std::ostream& out, const QString& text)
{
    print(out, text.toUtf8() + '\n');
}

int info(const CommandLine& line, std::ostream& out)
{
    expect(line, 1, {});
    const store::DescribedPicture read = store::readDescribedFile(line.positional[0]);
    const store::Picture& picture = *read.picture;
    printLine(out, QStringLiteral("format: %1").arg(QLatin1String(store::formatName(picture.format()))));
    printLine(out, QStringLiteral("width: %1").arg(picture.size().width()));
    printLine(out, QStringLiteral("height: %1").arg(picture.size().height()));
    printLine(out, QStringLiteral("block-length: %1").arg(read.blockLength));
    for (const QString& detail : picture.details())
        printLine(out, detail);
    return Success;
}

int show(const CommandLine& line, std::ostream& out)
{
    expect(line, 1, {"--raw"});
    const store::DescribedPicture read = store::readDescribedFile(line.positional[0]);
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
    printLine(out, QString::number(store::readDescribedFile(line.positional[0]).blockLength));
    return Success;
}

int write(const CommandLine& line, std::ostream& err)
{
    expect(line, 1, {"--text", "--text-file", "--raw-file"});
    if (line.options.size() != 1)
        throw UsageError {QStringLiteral("write needs exactly one of --text, --text-file and --raw-file")};
    const auto& [option, value] = *line.options.begin();

    // The new description is ready before the file is touched, so a bad text file changes nothing.
    QByteArray description;
    int unmappable = 0;
    if (option == u"--text")
        description = descriptionFromUtf8(value->toUtf8(), &unmappable);
    else if (option == u"--text-file")
        description = descriptionFromUtf8(platform::readWholeFile(*value), &unmappable);
    else
        description = platform::readWholeFile(*value);

    // One atomic replacement: a write that fails (a full disk, a file-size limit) leaves the old file whole.
    store::replaceDescription(line.positional[0], description);
    if (unmappable > 0) {
        print(err,
            QStringLiteral("zelkavio-opis: %1 character(s) have no Windows-1250 form and were stored as \"?\"\n")
                .arg(unmappable)
                .toUtf8());
    }
    return Success;
}

int strip(const CommandLine& line)
{
    expect(line, 1, {});
    const QString& path = line.positional[0];
    const QByteArray bytes = platform::readWholeFile(path);
    const qint64 marker = store::findMarker(platform::asBytes(bytes));
    store::stripDescriptionBlock(path, marker < 0 ? 0 : bytes.size() - marker);
    return Success;
}

int render(const CommandLine& line)
{
    expect(line, 2, {});
    const QString& path = line.positional[0];
    const QString& target = line.positional[1];
    const auto picture = store::loadPicture(path, platform::readWholeFile(path));
    if (!picture->image().save(target, "PNG"))
        throw platform::AppError(QStringLiteral("cannot write the PNG file %1").arg(target));
    return Success;
}

int searchPictures(const CommandLine& line, std::ostream& out)
{
    if (line.positional.size() < 2)
        throw UsageError {QStringLiteral("search needs a phrase and a directory")};
    expect(line, 2, {"--match-case", "--threads"});
    search::SearchOptions options;
    if (const auto threads = line.options.find(QStringLiteral("--threads")); threads != line.options.end()) {
        bool ok = false;
        options.threads = threads->second->toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 256)
            throw UsageError {QStringLiteral("--threads needs a number from 1 to 256")};
    }
    const bool matchCase = line.options.count(QStringLiteral("--match-case")) != 0;
    const QString directory = QDir(line.positional[1]).absolutePath();
    if (!QFileInfo(directory).isDir())
        throw platform::IoError(ENOTDIR, directory);
    // The names the viewer's file list shows, in its order.
    const QStringList names = viewer::listPictureFiles(directory, viewer::kDefaultMask.toString());
    const search::SearchResult result
        = search::searchDirectory(directory, names, search::encodePhrase(line.positional[0]), matchCase, options);
    for (const int index : result.hits)
        print(out, QFile::encodeName(names.at(index)) + '\n');
    if (result.failure)
        std::rethrow_exception(result.failure);
    return result.hits.empty() ? NotFound : Success;
}

int run(const QStringList& args, std::ostream& out, std::ostream& err)
{
    const CommandLine line = parse(args);
    if (line.command == u"--help" || line.command == u"-h" || line.command == u"help") {
        out << kUsage;
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
    throw UsageError {QStringLiteral("unknown command %1").arg(line.command)};
}

} // namespace

int runOpis(const QStringList& args, std::ostream& out, std::ostream& err)
{
    try {
        const int status = run(args, out, err);
        out.flush();
        if (!out) {
            err << "zelkavio-opis: cannot write the output\n";
            return args.value(0) == u"search" ? WrongUsage : Failure;
        }
        return status;
    } catch (const UsageError& e) {
        print(err, "zelkavio-opis: " + e.message.toUtf8() + "\nTry 'zelkavio-opis --help'.\n");
        return WrongUsage;
    } catch (const std::exception& e) {
        err << "zelkavio-opis: " << e.what() << '\n';
        // search answers as grep: 1 means nothing found, so a failure is 2.
        return args.value(0) == u"search" ? WrongUsage : Failure;
    }
}

bool needsGuiApplication(const QStringList& args)
{
    return args.value(0) == u"render";
}

QByteArray descriptionFromUtf8(const QByteArray& utf8, int* unmappable)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (decoder.hasError())
        throw platform::AppError(QStringLiteral("the description text is not valid UTF-8"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1); // a byte-order mark is not part of the text
    return store::fieldTextToDescription(text, unmappable);
}

} // namespace cli
