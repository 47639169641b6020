#pragma once

#include "phrase_matcher.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace search {

/** How much of a file one read takes: large enough for few system calls, small enough to stay in the cache. */
inline constexpr std::size_t kDefaultPieceSize = std::size_t {256} * 1024;

/**
 * The reusable read buffer of one searching thread: one piece of a file, and in front of it the last bytes of
 * the piece before, where an occurrence that straddles two pieces begins. Pieces start page-aligned.
 */
class ScanBuffer {
public:
    explicit ScanBuffer(std::size_t pieceSize = kDefaultPieceSize);

    /** Makes room for `carry` bytes in front of the piece and gives back the piece's start. */
    [[nodiscard]] std::uint8_t* prepare(std::size_t carry);
    [[nodiscard]] std::size_t pieceSize() const { return m_pieceSize; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const noexcept;
    };
    std::unique_ptr<std::uint8_t, Free> m_memory;
    std::size_t m_pieceSize;
    std::size_t m_carryRoom = 0;
};

/**
 * Whether the regular file `name` in the directory open as `directoryFd` holds the phrase. The file is read in
 * pieces into `buffer`, at most as many bytes as it had when it was opened, and reading stops at the first
 * occurrence. A name that no file has, and anything but a regular file (a directory, a pipe, a socket, a device),
 * holds nothing and is never opened for reading. Raises IoError naming `path` when the file cannot be opened or
 * read.
 */
[[nodiscard]] bool fileContains(
    int directoryFd, const char* name, const QString& path, const PhraseMatcher& matcher, ScanBuffer& buffer);

/** The same with a buffer of its own, for a single look. */
[[nodiscard]] bool fileContains(int directoryFd, const QString& name, const PhraseMatcher& matcher);

/**
 * The phrase as the Windows-1250 bytes the files hold, or nothing when a character has no Windows-1250 form: such
 * a phrase can stand in no file (no "?" is put in its place, which would find every file holding a "?").
 */
[[nodiscard]] std::optional<QByteArray> encodePhrase(const QString& text);

/** What a search found: the indices of the names that hold the phrase, in list order, and how it ended. */
struct SearchResult {
    std::vector<int> hits;
    /** The failure that stopped the search, or null; `hits` then holds the hits before `failedIndex`. */
    std::exception_ptr failure;
    int failedIndex = -1;
};

/** Starts a thread running `work`; may raise std::system_error as std::thread does when no thread can start. */
using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

/**
 * How a search runs: the number of threads (0: one per processor), the size of a read, and how a thread is
 * started (empty: std::thread; tests make it fail).
 */
struct SearchOptions {
    int threads = 0;
    std::size_t pieceSize = kDefaultPieceSize;
    ThreadStarter startThread = {};
};

/**
 * A search of the files `names` (bare names) in `directory` for a phrase, begun at construction on worker
 * threads. The workers take the names by index from a shared counter and note hits by index, so the hits come
 * out in list order whichever thread finds them. When fewer threads start than were asked for (a process at its
 * limit of threads), those that did start do the whole search; when none starts, the constructor does it on the
 * calling thread. Either way the search ends. A name that no file has is no hit. When a file cannot be read
 * the search stops once every earlier file is done: the hits before it stand, and the failure is given with the
 * result. The directory is opened once; each name is resolved in it.
 *
 * `phrase` empty or absent (a phrase no file can hold) finds nothing and reads nothing.
 */
class DirectorySearch {
public:
    DirectorySearch(const QString& directory, const QStringList& names, const std::optional<QByteArray>& phrase,
        bool matchCase, SearchOptions options = {});
    /** Waits for the workers. */
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    /** Waits at most `timeout` for the search to end; gives back whether it has. */
    [[nodiscard]] bool waitFor(std::chrono::milliseconds timeout);
    /** How many files have been taken up so far (for a progress display). */
    [[nodiscard]] int filesTaken() const;
    /** Waits for the end and gives the result. */
    [[nodiscard]] SearchResult result();

private:
    void work();
    void fail(int index, std::exception_ptr failure);

    QString m_directory;
    std::vector<QByteArray> m_encodedNames;
    QStringList m_names;
    PhraseMatcher m_matcher;
    SearchOptions m_options;
    int m_directoryFd = -1;
    std::vector<std::uint8_t> m_hits;
    std::atomic<int> m_next {0};
    std::atomic<int> m_stopAfter;

    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_running = 0;
    std::exception_ptr m_failure;
    int m_failedIndex = -1;
    std::vector<std::thread> m_workers;
};

/** Runs a whole search on the calling thread's behalf and gives its result. */
[[nodiscard]] SearchResult searchDirectory(const QString& directory, const QStringList& names,
    const std::optional<QByteArray>& phrase, bool matchCase, SearchOptions options = {});

} // namespace search
