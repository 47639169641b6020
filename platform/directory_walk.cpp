#include "directory_walk.h"

#include "fault_injection.h"

#include <cerrno>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/** Whether the entry is a regular file, following symbolic links; asks the file system only when needed. */
bool isRegularFile(DIR* dir, const dirent* entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st { };
    return ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

/** Whether the entry is a folder itself, not a symbolic link to one. */
bool isOwnFolder(DIR* dir, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st { };
    return ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

class Walk {
public:
    Walk(const FilePath& root, const WalkOptions& options, const std::function<bool(QByteArrayView)>& wanted,
        const std::function<void(const FilePath&)>& onFile)
        : m_root(root)
        , m_options(options)
        , m_wanted(wanted)
        , m_onFile(onFile)
    {
    }

    /** Walks `prefix` below the root (the root itself when empty); raises IoError when that folder fails. */
    void folder(const FilePath& prefix, std::vector<FilePath>& subfolders)
    {
        const FilePath here = prefix.isEmpty() ? m_root : m_root / prefix;
        failIfInjected(FileOperation::ListDirectory, here);
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(here.c_str()));
        if (!dir)
            throw IoError(errno, here);
        errno = 0;
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArrayView name(entry->d_name);
            if (name == "." || name == ".." || (name.startsWith('.') && !m_options.hidden)) {
                errno = 0;
                continue;
            }
            if (m_wanted(name) && isRegularFile(dir.get(), entry))
                m_onFile(prefix / FilePath(entry->d_name));
            else if (m_options.recursive && isOwnFolder(dir.get(), entry))
                subfolders.push_back(prefix / FilePath(entry->d_name));
            errno = 0;
        }
        if (errno != 0)
            throw IoError(errno, here);
    }

private:
    const FilePath& m_root;
    const WalkOptions& m_options;
    const std::function<bool(QByteArrayView)>& m_wanted;
    const std::function<void(const FilePath&)>& m_onFile;
};

} // namespace

void walkDirectory(const FilePath& directory, const WalkOptions& options,
    const std::function<bool(QByteArrayView name)>& wanted, const std::function<void(const FilePath& relative)>& onFile,
    const std::function<void(const AppError&)>& onError)
{
    Walk walk(directory, options, wanted, onFile);
    std::vector<FilePath> pending;
    walk.folder(FilePath(), pending);
    // Depth first, each folder's subfolders in the order it gave them.
    std::vector<FilePath> stack(pending.rbegin(), pending.rend());
    while (!stack.empty()) {
        const FilePath next = std::move(stack.back());
        stack.pop_back();
        std::vector<FilePath> subfolders;
        try {
            walk.folder(next, subfolders);
        } catch (const AppError& e) {
            if (onError)
                onError(e);
        }
        stack.insert(stack.end(), subfolders.rbegin(), subfolders.rend());
    }
}

} // namespace platform
