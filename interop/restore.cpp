#include "restore.h"

#include "picture_files.h"
#include "platform/file_io.h"
#include "platform/file_names.h"
#include "store/described_file.h"

#include <map>
#include <set>

namespace interop {

namespace {

/** A path the dump may name: relative, and never leading out of the folder. */
bool isSafeRelativePath(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    }
    return true;
}

class Restorer {
public:
    Restorer(const std::vector<DumpLine>& dump, const QByteArray& directory, const RestoreOptions& options)
        : m_dump(dump)
        , m_directory(directory)
        , m_options(options)
    {
    }

    std::vector<RestoreReport> run()
    {
        const std::vector<QByteArray> files = listPictures(m_directory, true, [](const platform::AppError&) {});
        m_files.insert(files.begin(), files.end());
        m_reports.resize(m_dump.size());
        for (std::size_t i = 0; i < m_dump.size(); ++i)
            match(i);
        claimsMadeTwice();
        for (std::size_t i = 0; i < m_dump.size(); ++i) {
            if (m_reports[i].outcome == RestoreOutcome::Restored)
                restore(i);
        }
        return std::move(m_reports);
    }

private:
    void settle(std::size_t i, RestoreOutcome outcome, const QString& reason)
    {
        m_reports[i].outcome = outcome;
        m_reports[i].reason = reason;
    }

    /** Finds the record's file; the report stays Restored (to be decided) when one is found. */
    void match(std::size_t i)
    {
        RestoreReport& report = m_reports[i];
        report.lineNumber = m_dump[i].lineNumber;
        if (!m_dump[i].record) {
            settle(i, RestoreOutcome::Failed, m_dump[i].error);
            return;
        }
        const DumpRecord& record = *m_dump[i].record;
        report.recordPath = record.path;
        if (!isSafeRelativePath(record.path)) {
            settle(i, RestoreOutcome::Failed, QStringLiteral("the path leads out of the folder"));
            return;
        }
        if (m_files.count(record.path) != 0) {
            report.file = record.path;
            report.outcome = RestoreOutcome::Restored;
            return;
        }
        const std::vector<QByteArray>& same = filesWithPicture(record.pictureSha256);
        if (same.empty()) {
            settle(i, RestoreOutcome::NotFound, QStringLiteral("no file at that path, none with those picture bytes"));
        } else if (same.size() > 1) {
            settle(i, RestoreOutcome::Ambiguous,
                QStringLiteral("%1 files hold those picture bytes: %2")
                    .arg(same.size())
                    .arg(platform::fileNameFromBytes(same[0]) + QStringLiteral(", ")
                        + platform::fileNameFromBytes(same[1])));
        } else {
            report.file = same.front();
            report.outcome = RestoreOutcome::Restored;
        }
    }

    /** The files under the folder whose picture bytes hash to `sha256`; every file is hashed on the first call. */
    const std::vector<QByteArray>& filesWithPicture(const QByteArray& sha256)
    {
        if (!m_hashed) {
            m_hashed = true;
            for (const QByteArray& file : m_files) {
                try {
                    const QByteArray bytes
                        = platform::readWholeFile(platform::fileNameFromBytes(joinPath(m_directory, file)));
                    m_byHash[recordOf(file, platform::asBytes(bytes)).pictureSha256].push_back(file);
                } catch (const platform::AppError&) {
                    // A file that cannot be read matches no record; one matched by path reports its own error.
                }
            }
        }
        static const std::vector<QByteArray> none;
        const auto found = m_byHash.find(sha256);
        return found == m_byHash.end() ? none : found->second;
    }

    /** Two records that found one file: neither may write it. */
    void claimsMadeTwice()
    {
        std::map<QByteArray, std::vector<std::size_t>> claims;
        for (std::size_t i = 0; i < m_reports.size(); ++i) {
            if (m_reports[i].outcome == RestoreOutcome::Restored)
                claims[m_reports[i].file].push_back(i);
        }
        for (const auto& [file, records] : claims) {
            if (records.size() < 2)
                continue;
            QStringList lines;
            for (const std::size_t i : records)
                lines << QString::number(m_reports[i].lineNumber);
            for (const std::size_t i : records) {
                settle(i, RestoreOutcome::Ambiguous,
                    QStringLiteral("the records of lines %1 all match %2")
                        .arg(lines.join(QStringLiteral(", ")), platform::fileNameFromBytes(file)));
            }
        }
    }

    void restore(std::size_t i)
    {
        const DumpRecord& record = *m_dump[i].record;
        const QString path = platform::fileNameFromBytes(joinPath(m_directory, m_reports[i].file));
        try {
            const QByteArray bytes = platform::readWholeFile(path);
            const qint64 marker = store::findMarker(platform::asBytes(bytes));
            const std::optional<QByteArray> current = marker < 0
                ? std::nullopt
                : std::optional<QByteArray>(bytes.mid(marker + qint64(store::kMarker.size())));
            const bool currentEmpty = !current || current->isEmpty();
            if (!record.description) {
                if (currentEmpty)
                    settle(i, RestoreOutcome::AlreadyThere, {});
                else
                    settle(i, RestoreOutcome::Conflicting,
                        QStringLiteral("the dump has no description for it, the file has one"));
                return;
            }
            if (current == record.description) {
                settle(i, RestoreOutcome::AlreadyThere, {});
                return;
            }
            if (!currentEmpty && !m_options.force) {
                settle(i, RestoreOutcome::Conflicting,
                    QStringLiteral("it holds another description (--force replaces it)"));
                return;
            }
            if (!m_options.dryRun)
                store::replaceDescription(path, *record.description);
        } catch (const platform::AppError& e) {
            settle(i, RestoreOutcome::Failed, e.message());
        }
    }

    const std::vector<DumpLine>& m_dump;
    const QByteArray m_directory;
    const RestoreOptions m_options;
    std::set<QByteArray> m_files;
    bool m_hashed = false;
    std::map<QByteArray, std::vector<QByteArray>> m_byHash;
    std::vector<RestoreReport> m_reports;
};

} // namespace

std::vector<RestoreReport> restoreDescriptions(
    const std::vector<DumpLine>& dump, const QByteArray& directory, const RestoreOptions& options)
{
    return Restorer(dump, directory, options).run();
}

std::array<int, kRestoreOutcomes> countOutcomes(const std::vector<RestoreReport>& reports)
{
    std::array<int, kRestoreOutcomes> counts {};
    for (const RestoreReport& report : reports)
        ++counts[std::size_t(report.outcome)];
    return counts;
}

} // namespace interop
