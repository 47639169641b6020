#include "interop_commands.h"

#include "interop/captions.h"
#include "interop/dump.h"
#include "interop/picture_files.h"
#include "interop/restore.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"

#include <QElapsedTimer>

#include <cerrno>
#include <iostream>
#include <iterator>
#include <optional>

#include <unistd.h>

namespace cli {

namespace {

bool has(const CommandLine& line, const char* option)
{
    return line.options.count(QLatin1String(option)) != 0;
}

void report(std::ostream& err, const QString& message)
{
    print(err, "zelkavio-opis: " + message.toUtf8() + '\n');
}

/** Progress on the terminal, once a run has taken longer than a second; never into a file or a pipe. */
class Progress {
public:
    Progress(std::ostream& err, const char* what)
        : m_err(err)
        , m_what(what)
        , m_enabled(::isatty(STDERR_FILENO) == 1)
    {
        m_clock.start();
    }
    ~Progress()
    {
        if (m_shown)
            m_err << "\r\033[K" << std::flush;
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(std::size_t done, std::size_t total)
    {
        if (!m_enabled || m_clock.elapsed() < 1000 || (m_shown && m_clock.elapsed() - m_last < 100))
            return;
        m_shown = true;
        m_last = m_clock.elapsed();
        m_err << '\r' << m_what << ": " << done << " of " << total << " files" << std::flush;
    }

private:
    std::ostream& m_err;
    const char* m_what;
    bool m_enabled;
    bool m_shown = false;
    qint64 m_last = 0;
    QElapsedTimer m_clock;
};

/** A picture file an argument names, and the folder argument it was found in, if any. */
struct Target {
    platform::FilePath path;
    std::optional<platform::FilePath> folder;
};

/**
 * The picture files the arguments name: a file as it is, a folder's pictures (not its subfolders'). A picture found
 * in a folder is only changed while its real path lies in that folder.
 */
std::vector<Target> pictureTargets(const QStringList& arguments, std::ostream& err, int& failures)
{
    std::vector<Target> targets;
    for (const QString& argument : arguments) {
        const platform::FilePath given = platform::FilePath::fromText(argument);
        if (!platform::isDirectory(given)) {
            targets.push_back({given, std::nullopt});
            continue;
        }
        try {
            for (const platform::FilePath& file : interop::listPictures(given, false, [](const platform::AppError&) {}))
                targets.push_back({given / file, given});
        } catch (const platform::AppError& e) {
            report(err, e.message());
            ++failures;
        }
    }
    return targets;
}

} // namespace

int dumpDescriptions(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    expectAtLeast(line, 1, {"--recursive", "--json"});
    const auto format = has(line, "--json") ? interop::DumpFormat::JsonLines : interop::DumpFormat::Tsv;
    int failures = 0;
    print(out, interop::dumpHeader(format));
    Progress progress(err, "dump");
    std::size_t records = 0;
    for (const QString& folder : line.positional) {
        try {
            interop::dumpDirectory(
                platform::FilePath::fromText(folder), has(line, "--recursive"),
                [&](const interop::DumpRecord& record) {
                    print(out, interop::formatRecord(record, format));
                    ++records;
                },
                [&](const platform::AppError& e) {
                    report(err, e.message());
                    ++failures;
                },
                [&](std::size_t done, std::size_t total) { progress.update(done, total); });
        } catch (const platform::AppError& e) {
            report(err, e.message());
            ++failures;
        }
    }
    // Last, and only once everything before it was written: a dump without it was cut short.
    print(out, interop::dumpTrailer(format, records));
    return failures == 0 ? Success : Failure;
}

int restoreDescriptions(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    expect(line, 2, {"--dry-run", "--force", "--partial", "--by-path"});
    const QString& dumpFile = line.positional[0];
    const platform::FilePath folder = platform::FilePath::fromText(line.positional[1]);
    QByteArray text;
    if (dumpFile == u"-")
        text = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(std::cin), {}));
    else
        text = platform::readWholeFile(platform::FilePath::fromText(dumpFile));
    if (!platform::isDirectory(folder))
        throw platform::IoError(ENOTDIR, folder);

    const interop::Dump dump = interop::readDump(text);
    if (!dump.checkable) {
        report(err,
            QStringLiteral("this dump was made before dumps ended with a trailer, so it cannot be checked for "
                           "completeness: a dump cut short restores shortened descriptions"));
    } else if (!dump.incomplete.isEmpty() && !has(line, "--partial")) {
        throw platform::AppError(QStringLiteral("the dump is not whole (%1); nothing was restored (--partial restores "
                                                "the complete records before the cut)")
                                     .arg(dump.incomplete));
    } else if (!dump.incomplete.isEmpty()) {
        report(err, QStringLiteral("the dump is not whole (%1); restoring its complete records").arg(dump.incomplete));
    }
    const interop::RestoreOptions options {
        .dryRun = has(line, "--dry-run"), .force = has(line, "--force"), .byPath = has(line, "--by-path")};
    const auto reports = interop::restoreDescriptions(dump.lines, folder, options);
    const char* restored = options.dryRun ? "would restore" : "restored";
    for (const interop::RestoreReport& r : reports) {
        QString what = r.recordPath.isEmpty() ? QStringLiteral("line %1").arg(r.lineNumber) : r.recordPath.display();
        if (!r.file.isEmpty() && r.file != r.recordPath)
            what += QStringLiteral(" (now %1)").arg(r.file.display());
        const char* label = nullptr;
        switch (r.outcome) {
        case interop::RestoreOutcome::Restored:
            label = restored;
            break;
        case interop::RestoreOutcome::AlreadyThere:
            break;
        case interop::RestoreOutcome::Conflicting:
            label = "conflicting";
            break;
        case interop::RestoreOutcome::Ambiguous:
            label = "ambiguous";
            break;
        case interop::RestoreOutcome::NotFound:
            label = "not found";
            break;
        case interop::RestoreOutcome::PictureChanged:
            label = "picture changed";
            break;
        case interop::RestoreOutcome::Failed:
            label = "failed";
            break;
        }
        if (label != nullptr && r.reason.isEmpty())
            printLine(out, QStringLiteral("%1: %2").arg(QLatin1String(label), what));
        else if (label != nullptr)
            printLine(out, QStringLiteral("%1: %2: %3").arg(QLatin1String(label), what, r.reason));
    }
    const auto counts = interop::countOutcomes(reports);
    using enum interop::RestoreOutcome;
    printLine(out,
        QStringLiteral(
            "%1 %2, already there %3, conflicting %4, ambiguous %5, not found %6, picture changed %7, failed %8")
            .arg(QLatin1String(restored))
            .arg(counts[std::size_t(Restored)])
            .arg(counts[std::size_t(AlreadyThere)])
            .arg(counts[std::size_t(Conflicting)])
            .arg(counts[std::size_t(Ambiguous)])
            .arg(counts[std::size_t(NotFound)])
            .arg(counts[std::size_t(PictureChanged)])
            .arg(counts[std::size_t(Failed)]));
    const bool complete = counts[std::size_t(Restored)] + counts[std::size_t(AlreadyThere)] == int(reports.size());
    return complete ? Success : Failure;
}

int exportXmp(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    expectAtLeast(line, 1, {"--embed"});
    int failures = 0;
    int exported = 0;
    int skipped = 0;
    for (const Target& target : pictureTargets(line.positional, err, failures)) {
        try {
            if (target.folder && has(line, "--embed"))
                interop::requireInside(target.path, *target.folder);
            if (interop::exportCaption(target.path, has(line, "--embed")) == interop::ExportOutcome::Exported)
                ++exported;
            else
                ++skipped;
        } catch (const platform::AppError& e) {
            report(err, QStringLiteral("%1: %2").arg(target.path.display(), e.message()));
            ++failures;
        }
    }
    printLine(out,
        QStringLiteral("exported %1, skipped %2 without a description, failed %3")
            .arg(exported)
            .arg(skipped)
            .arg(failures));
    return failures == 0 ? Success : Failure;
}

int importXmp(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    expectAtLeast(line, 1, {"--force", "--lossy"});
    const interop::ImportOptions options {.force = has(line, "--force"), .lossy = has(line, "--lossy")};
    int failures = 0;
    std::array<int, 4> counts {};
    for (const Target& target : pictureTargets(line.positional, err, failures)) {
        const QString path = target.path.display();
        try {
            if (target.folder)
                interop::requireInside(target.path, *target.folder);
            const interop::ImportResult result = interop::importCaption(target.path, options);
            ++counts[std::size_t(result.outcome)];
            if (result.outcome == interop::ImportOutcome::Imported) {
                printLine(out, QStringLiteral("imported: %1 (from %2)").arg(path, result.source));
                if (result.replaced > 0)
                    printLine(out, QStringLiteral("  %1 character(s) stored as \"?\"").arg(result.replaced));
            } else if (result.outcome == interop::ImportOutcome::Kept) {
                printLine(out, QStringLiteral("kept: %1: it has another description (--force replaces it)").arg(path));
            }
        } catch (const platform::AppError& e) {
            report(err, QStringLiteral("%1: %2").arg(path, e.message()));
            ++failures;
        }
    }
    using enum interop::ImportOutcome;
    printLine(out,
        QStringLiteral("imported %1, already there %2, kept %3, no caption %4, failed %5")
            .arg(counts[std::size_t(Imported)])
            .arg(counts[std::size_t(AlreadyThere)])
            .arg(counts[std::size_t(Kept)])
            .arg(counts[std::size_t(NoCaption)])
            .arg(failures));
    return failures == 0 ? Success : Failure;
}

} // namespace cli
