#pragma once

#include "dump.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

/**
 * Putting the descriptions of a dump back into a folder's pictures. A record is written only into a picture whose
 * bytes (those before the first marker) have the SHA-256 it recorded: the file at its relative path when that one
 * has them, else the one file in the folder that has them, wherever it was moved or renamed to. Nothing is written
 * where the match is not certain, and a description that differs from the dumped one is replaced only when asked to.
 */
namespace interop {

enum class RestoreOutcome {
    Restored, // written (or, in a dry run, would be)
    AlreadyThere, // the file holds that description already; left alone
    Conflicting, // the file holds another description; left alone
    Ambiguous, // two files share the picture bytes, or two records claim one file; nothing written for them
    NotFound, // no file at the path, none with those picture bytes
    PictureChanged, // the file at the path holds other picture bytes, and no file holds the recorded ones
    Failed, // an unreadable record, or a file that could not be read or written
};
inline constexpr std::size_t kRestoreOutcomes = 7;

struct RestoreOptions {
    bool dryRun = false;
    /** Replace a description that differs from the dumped one. */
    bool force = false;
    /** Write a record into the file at its path even when that file's picture bytes are no longer the recorded ones. */
    bool byPath = false;
};

struct RestoreReport {
    int lineNumber = 0;
    /** The record's path, or empty for a line that could not be read. */
    platform::FilePath recordPath;
    /** The file the record was matched to, relative to the folder; empty when none. */
    platform::FilePath file;
    RestoreOutcome outcome = RestoreOutcome::Failed;
    /** Why, for every outcome but Restored and AlreadyThere. */
    QString reason;
};

/**
 * Puts the descriptions of `dump` back into the pictures under `directory`, one report per dump line, in the
 * dump's order. Every write is a store::PictureTransaction, so a failure leaves that file as it was and the rest go
 * on; a file whose real path lies outside `directory` (reached through a symbolic link) is never written. A record
 * without a block writes nothing: it is there when the file has no description (or an empty one) and conflicting
 * otherwise, since a restore never deletes a description. Raises IoError when `directory` cannot be read.
 */
[[nodiscard]] std::vector<RestoreReport> restoreDescriptions(
    const std::vector<DumpLine>& dump, const platform::FilePath& directory, const RestoreOptions& options);

/** How many reports have each outcome, indexed by RestoreOutcome. */
[[nodiscard]] std::array<int, kRestoreOutcomes> countOutcomes(const std::vector<RestoreReport>& reports);

} // namespace interop
