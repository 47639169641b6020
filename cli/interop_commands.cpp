#include "interop_commands.h"

#include "interop/captions.h"
#include "interop/dump.h"
#include "interop/picture_files.h"
#include "interop/restore.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
#include <iostream>
#include <iterator>

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

/** The picture files the arguments name: a file as it is, a folder's pictures (not its subfolders'). */
std::vector<QString> pictureTargets(const QStringList& arguments, std::ostream& err, int& failures)
{
    std::vector<QString> targets;
    for (const QString& argument : arguments) {
        if (!QFileInfo(argument).isDir()) {
            targets.push_back(argument);
            continue;
        }
        try {
            const QByteArray folder = platform::fileNameBytes(argument);
            for (const QByteArray& file : interop::listPictures(folder, false, [](const platform::AppError&) {}))
                targets.push_back(platform::fileNameFromBytes(interop::joinPath(folder, file)));
        } catch (const platform::AppError& e) {
            report(err, e.message());
            ++failures;
        }
    }
    return targets;
}

QString name(const QByteArray& path)
{
    return platform::fileNameFromBytes(path);
}

} // namespace

int dumpDescriptions(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    expectAtLeast(line, 1, {"--recursive", "--json"});
    const auto format = has(line, "--json") ? interop::DumpFormat::JsonLines : interop::DumpFormat::Tsv;
    int failures = 0;
    print(out, interop::dumpHeader(format));
    Progress progress(err, "dump");
    for (const QString& folder : line.positional) {
        try {
            interop::dumpDirectory(
                platform::fileNameBytes(folder), has(line, "--recursive"),
                [&](const interop::DumpRecord& record) { print(out, interop::formatRecord(record, format)); },
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
    return failures == 0 ? Success : Failure;
}

int restoreDescriptions(const CommandLine& line, std::ostream& out)
{
    expect(line, 2, {"--dry-run", "--force"});
    const QString& dumpFile = line.positional[0];
    const QString& folder = line.positional[1];
    QByteArray dump;
    if (dumpFile == u"-")
        dump = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(std::cin), {}));
    else
        dump = platform::readWholeFile(dumpFile);
    if (!QFileInfo(folder).isDir())
        throw platform::IoError(ENOTDIR, folder);

    const interop::RestoreOptions options {.dryRun = has(line, "--dry-run"), .force = has(line, "--force")};
    const auto reports
        = interop::restoreDescriptions(interop::readDump(dump), platform::fileNameBytes(folder), options);
    const char* restored = options.dryRun ? "would restore" : "restored";
    for (const interop::RestoreReport& r : reports) {
        QString what = r.recordPath.isEmpty() ? QStringLiteral("line %1").arg(r.lineNumber) : name(r.recordPath);
        if (!r.file.isEmpty() && r.file != r.recordPath)
            what += QStringLiteral(" (now %1)").arg(name(r.file));
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
        QStringLiteral("%1 %2, already there %3, conflicting %4, ambiguous %5, not found %6, failed %7")
            .arg(QLatin1String(restored))
            .arg(counts[std::size_t(Restored)])
            .arg(counts[std::size_t(AlreadyThere)])
            .arg(counts[std::size_t(Conflicting)])
            .arg(counts[std::size_t(Ambiguous)])
            .arg(counts[std::size_t(NotFound)])
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
    for (const QString& path : pictureTargets(line.positional, err, failures)) {
        try {
            if (interop::exportCaption(path, has(line, "--embed")) == interop::ExportOutcome::Exported)
                ++exported;
            else
                ++skipped;
        } catch (const platform::AppError& e) {
            report(err, QStringLiteral("%1: %2").arg(path, e.message()));
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
    for (const QString& path : pictureTargets(line.positional, err, failures)) {
        try {
            const interop::ImportResult result = interop::importCaption(path, options);
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
