#pragma once

#include "dump.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

/**
 * Putting the descriptions of a dump back into a folder's pictures. A record finds its file by its relative path
 * (also when another program re-saved the picture, which is what this is for), and only when no file is at that
 * path by its picture bytes' SHA-256 anywhere in the folder. Nothing is written where the match is not certain,
 * and a description that differs from the dumped one is replaced only when asked to.
 */
namespace interop {

enum class RestoreOutcome {
    Restored, // written (or, in a dry run, would be)
    AlreadyThere, // the file holds that description already; left alone
    Conflicting, // the file holds another description; left alone
    Ambiguous, // two files share the picture bytes, or two records claim one file; nothing written for them
    NotFound, // no file at the path, none with those picture bytes
    Failed, // an unreadable record, or a file that could not be read or written
};
inline constexpr std::size_t kRestoreOutcomes = 6;

struct RestoreOptions {
    bool dryRun = false;
    /** Replace a description that differs from the dumped one. */
    bool force = false;
};

struct RestoreReport {
    int lineNumber = 0;
    /** The record's path, or empty for a line that could not be read. */
    QByteArray recordPath;
    /** The file the record was matched to, relative to the folder; empty when none. */
    QByteArray file;
    RestoreOutcome outcome = RestoreOutcome::Failed;
    /** Why, for every outcome but Restored and AlreadyThere. */
    QString reason;
};

/**
 * Puts the descriptions of `dump` back into the pictures under `directory`, one report per dump line, in the
 * dump's order. Every write is store::replaceDescription's atomic replacement, so a failure leaves that file as it
 * was and the rest go on. A record without a block writes nothing: it is there when the file has no description
 * (or an empty one) and conflicting otherwise, since a restore never deletes a description. Raises IoError when
 * `directory` cannot be read.
 */
[[nodiscard]] std::vector<RestoreReport> restoreDescriptions(
    const std::vector<DumpLine>& dump, const QByteArray& directory, const RestoreOptions& options);

/** How many reports have each outcome, indexed by RestoreOutcome. */
[[nodiscard]] std::array<int, kRestoreOutcomes> countOutcomes(const std::vector<RestoreReport>& reports);

} // namespace interop
