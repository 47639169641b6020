#include "restore.h"

#include "picture_files.h"
#include "platform/file_io.h"
#include "store/picture_transaction.h"

#include <QList>
#include <QStringList>

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
    Restorer(const std::vector<DumpLine>& dump, const platform::FilePath& directory, const RestoreOptions& options)
        : m_dump(dump)
        , m_directory(directory)
        , m_options(options)
    {
    }

    std::vector<RestoreReport> run()
    {
        const std::vector<platform::FilePath> files = listPictures(m_directory, true, [](const platform::AppError&) {});
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
        if (!isSafeRelativePath(record.path.bytes())) {
            settle(i, RestoreOutcome::Failed, QStringLiteral("the path leads out of the folder"));
            return;
        }
        const bool atPath = m_files.count(record.path) != 0;
        if (atPath && (m_options.byPath || hashOf(record.path) == record.pictureSha256)) {
            report.file = record.path;
            report.outcome = RestoreOutcome::Restored;
            return;
        }
        const std::vector<platform::FilePath>& same = filesWithPicture(record.pictureSha256);
        if (same.size() == 1) {
            report.file = same.front();
            report.outcome = RestoreOutcome::Restored;
        } else if (same.size() > 1) {
            settle(i, RestoreOutcome::Ambiguous,
                QStringLiteral("%1 files hold those picture bytes: %2, %3")
                    .arg(same.size())
                    .arg(same[0].display(), same[1].display()));
        } else if (atPath) {
            settle(i, RestoreOutcome::PictureChanged,
                QStringLiteral("the file there holds another picture, and no file holds the one dumped (--by-path "
                               "restores it all the same)"));
        } else {
            settle(i, RestoreOutcome::NotFound, QStringLiteral("no file at that path, none with those picture bytes"));
        }
    }

    /** The SHA-256 of the picture bytes of `file`; empty when it cannot be read. Each file is read once for it. */
    const QByteArray& hashOf(const platform::FilePath& file)
    {
        const auto known = m_hashes.find(file);
        if (known != m_hashes.end())
            return known->second;
        QByteArray hash;
        try {
            hash = pictureSha256(platform::asBytes(platform::readWholeFile(m_directory / file)));
        } catch (const platform::AppError&) {
            // A file that cannot be read matches no record; one matched by path reports its own error.
        }
        return m_hashes.emplace(file, hash).first->second;
    }

    /** The files under the folder whose picture bytes hash to `sha256`; every file is hashed on the first call. */
    const std::vector<platform::FilePath>& filesWithPicture(const QByteArray& sha256)
    {
        if (!m_hashed) {
            m_hashed = true;
            for (const platform::FilePath& file : m_files) {
                if (const QByteArray& hash = hashOf(file); !hash.isEmpty())
                    m_byHash[hash].push_back(file);
            }
        }
        static const std::vector<platform::FilePath> none;
        const auto found = m_byHash.find(sha256);
        return found == m_byHash.end() ? none : found->second;
    }

    /** Two records that found one file: neither may write it. */
    void claimsMadeTwice()
    {
        std::map<platform::FilePath, std::vector<std::size_t>> claims;
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
                        .arg(lines.join(QStringLiteral(", ")), file.display()));
            }
        }
    }

    void restore(std::size_t i)
    {
        const DumpRecord& record = *m_dump[i].record;
        const platform::FilePath& file = m_reports[i].file;
        const platform::FilePath path = m_directory / file;
        try {
            requireInside(path, m_directory);
            store::PictureTransaction change(path);
            // What was matched by its bytes must still hold them now that it is read to be written.
            const bool checkBytes = !(m_options.byPath && file == record.path);
            if (checkBytes && pictureSha256(platform::asBytes(change.bytes())) != record.pictureSha256) {
                settle(i, RestoreOutcome::PictureChanged, QStringLiteral("its picture changed meanwhile"));
                return;
            }
            const std::optional<QByteArray> current = change.description();
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
                change.writeDescription(*record.description);
        } catch (const platform::AppError& e) {
            settle(i, RestoreOutcome::Failed, e.message());
        }
    }

    const std::vector<DumpLine>& m_dump;
    const platform::FilePath m_directory;
    const RestoreOptions m_options;
    std::set<platform::FilePath> m_files;
    std::map<platform::FilePath, QByteArray> m_hashes;
    bool m_hashed = false;
    std::map<QByteArray, std::vector<platform::FilePath>> m_byHash;
    std::vector<RestoreReport> m_reports;
};

} // namespace

std::vector<RestoreReport> restoreDescriptions(
    const std::vector<DumpLine>& dump, const platform::FilePath& directory, const RestoreOptions& options)
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
