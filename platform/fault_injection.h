#pragma once

#include "file_path.h"

#include <QString>

#include <functional>

/**
 * A seam for tests to make a file operation fail as the system would (no permission, a full disk), since the
 * tests run as the superuser, whom permission bits do not stop. The program itself never injects a failure.
 */
namespace platform {

enum class FileOperation {
    /** Reading the entries of a directory. */
    ListDirectory,
    /** Creating a file (the temporary file of a replacement) in a directory. */
    CreateFile,
    /** Reading a file: opening it to read it whole, or a read from an open file. */
    ReadFile,
    /** Writing a file in place or replacing it: what a read-only file refuses. */
    WriteFile,
    /** Writing the new content of a replaced file (a full disk, an I/O error), after its temporary exists. */
    WriteContent,
    /** Giving a replacement the old file's owner, extended attributes (ACLs among them) and permission bits. */
    KeepAttributes,
    /** Flushing a replacement's content to the disk. */
    SyncContent,
    /** Renaming a replacement over the old file. */
    RenameFile,
    /** Flushing the folder that now names the replacement. */
    SyncFolder,
    /**
     * Taking the writers' lock on a file before the last check that it is still what the writer read: a stop here
     * stands for another program changing the file between a writer's read and its change.
     */
    LockFile,
};

/**
 * While it lives, `operation` on `path` (or below it) fails with `errorCode`, after letting the first `passes`
 * such operations through. Injections nest.
 */
class InjectedFailure {
public:
    InjectedFailure(FileOperation operation, const QString& path, int errorCode, int passes = 0);
    ~InjectedFailure();
    InjectedFailure(const InjectedFailure&) = delete;
    InjectedFailure& operator=(const InjectedFailure&) = delete;
};

/**
 * While it lives, `stop` runs at every operation checked for injected failures, before the check, as if the program
 * were stopped there: a test looks at the disk between two steps. A stop that itself reaches a check is not re-entered.
 */
class InjectedStop {
public:
    explicit InjectedStop(std::function<void(FileOperation, const QString&)> stop);
    ~InjectedStop();
    InjectedStop(const InjectedStop&) = delete;
    InjectedStop& operator=(const InjectedStop&) = delete;
};

/** Raises IoError(code, path) when a failure is injected for `operation` on `path`; runs an injected stop first. */
void failIfInjected(FileOperation operation, const QString& path);
void failIfInjected(FileOperation operation, const FilePath& path);

} // namespace platform
