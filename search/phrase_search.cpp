#include "phrase_search.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace search {

namespace {

constexpr std::size_t kAlignment = 4096;

constexpr std::size_t roundUp(std::size_t n, std::size_t to)
{
    return (n + to - 1) / to * to;
}

/** Closes a descriptor when it goes out of scope. */
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

/** Reads the open regular file piece by piece, at most `size` bytes, until the phrase turns up. */
bool scanOpenFile(int fd, off_t size, const QString& path, const PhraseMatcher& matcher, ScanBuffer& buffer)
{
    const std::size_t carry = static_cast<std::size_t>(matcher.carry());
    std::uint8_t* const piece = buffer.prepare(carry);
    auto remaining = static_cast<std::uint64_t>(size);
    std::size_t kept = 0;
    while (remaining > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.pieceSize(), remaining));
        const ssize_t got = ::read(fd, piece, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw platform::IoError(errno, path);
        }
        if (got == 0)
            break; // the file has shrunk since it was opened
        remaining -= static_cast<std::uint64_t>(got);
        std::uint8_t* const start = piece - kept;
        const std::size_t filled = kept + static_cast<std::size_t>(got);
        if (matcher.foundIn({start, filled}))
            return true;
        // The last bytes may hold the start of an occurrence that the next piece completes.
        kept = std::min(carry, filled);
        std::memmove(piece - kept, start + filled - kept, kept);
    }
    return false;
}

} // namespace

void ScanBuffer::Free::operator()(std::uint8_t* p) const noexcept
{
    std::free(p);
}

ScanBuffer::ScanBuffer(std::size_t pieceSize)
    : m_pieceSize(std::max<std::size_t>(pieceSize, 1))
{
}

std::uint8_t* ScanBuffer::prepare(std::size_t carry)
{
    if (!m_memory || carry > m_carryRoom) {
        const std::size_t room = roundUp(std::max<std::size_t>(carry, 1), kAlignment);
        auto* memory
            = static_cast<std::uint8_t*>(std::aligned_alloc(kAlignment, roundUp(room + m_pieceSize, kAlignment)));
        if (!memory)
            throw std::bad_alloc();
        m_memory.reset(memory);
        m_carryRoom = room;
    }
    return m_memory.get() + m_carryRoom;
}

bool fileContains(
    int directoryFd, const char* name, const QString& path, const PhraseMatcher& matcher, ScanBuffer& buffer)
{
    // Look before opening: opening a pipe or a device could block or act on the device.
    struct stat st { };
    if (::fstatat(directoryFd, name, &st, 0) != 0) {
        if (errno == ENOENT)
            return false;
        throw platform::IoError(errno, path);
    }
    if (!S_ISREG(st.st_mode))
        return false;
    const FileDescriptor file(::openat(directoryFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT)
            return false; // deleted between the look and the opening
        throw platform::IoError(errno, path);
    }
    if (::fstat(file.get(), &st) != 0)
        throw platform::IoError(errno, path);
    if (!S_ISREG(st.st_mode))
        return false; // replaced by something else meanwhile
    platform::failIfInjected(platform::FileOperation::ReadFile, path);
    return scanOpenFile(file.get(), st.st_size, path, matcher, buffer);
}

bool fileContains(int directoryFd, const QString& name, const PhraseMatcher& matcher)
{
    ScanBuffer buffer;
    return fileContains(directoryFd, platform::fileNameBytes(name).constData(), name, matcher, buffer);
}

std::optional<QByteArray> encodePhrase(const QString& text)
{
    QByteArray bytes;
    for (const char32_t codePoint : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        const int byte = platform::cp1250::fromUnicode(codePoint);
        if (byte < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(byte));
    }
    return bytes;
}

DirectorySearch::DirectorySearch(const QString& directory, const QStringList& names,
    const std::optional<QByteArray>& phrase, bool matchCase, SearchOptions options)
    : m_directory(directory)
    , m_names(names)
    , m_matcher(phrase.value_or(QByteArray()), matchCase)
    , m_options(options)
    , m_hits(static_cast<std::size_t>(names.size()), 0)
    , m_stopAfter(INT_MAX)
{
    if (m_matcher.empty() || names.isEmpty())
        return;
    m_directoryFd = ::open(platform::fileNameBytes(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directoryFd < 0) {
        // A directory that is gone holds none of its files any more.
        if (errno != ENOENT)
            fail(0, std::make_exception_ptr(platform::IoError(errno, directory)));
        return;
    }
    m_encodedNames.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names)
        m_encodedNames.push_back(platform::fileNameBytes(name));
    int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, static_cast<int>(names.size()));
    const ThreadStarter start = options.startThread ? options.startThread : [](std::function<void()> work) {
        return std::thread(std::move(work));
    };
    m_workers.reserve(static_cast<std::size_t>(threads)); // no reallocation with a thread in hand
    // Each worker is counted before it starts, so that one ending at once never finds the count at zero while
    // others are still to come; a start that fails takes its count back.
    for (int i = 0; i < threads; ++i) {
        {
            const std::lock_guard lock(m_mutex);
            ++m_running;
        }
        try {
            m_workers.push_back(start([this] { work(); }));
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            --m_running;
            break;
        }
    }
    if (m_workers.empty()) {
        // Not one thread could start: the calling thread searches itself.
        {
            const std::lock_guard lock(m_mutex);
            m_running = 1;
        }
        work();
    }
}

DirectorySearch::~DirectorySearch()
{
    m_stopAfter.store(-1);
    for (std::thread& worker : m_workers)
        worker.join();
    if (m_directoryFd >= 0)
        ::close(m_directoryFd);
}

void DirectorySearch::work()
{
    ScanBuffer buffer(m_options.pieceSize);
    const int count = static_cast<int>(m_encodedNames.size());
    for (;;) {
        const int index = m_next.fetch_add(1);
        if (index >= count || index > m_stopAfter.load())
            break;
        const auto at = static_cast<std::size_t>(index);
        try {
            const QString path = m_directory + QLatin1Char('/') + m_names.at(index);
            m_hits[at] = fileContains(m_directoryFd, m_encodedNames[at].constData(), path, m_matcher, buffer) ? 1 : 0;
        } catch (...) {
            fail(index, std::current_exception());
        }
    }
    const std::lock_guard lock(m_mutex);
    if (--m_running == 0)
        m_done.notify_all();
}

void DirectorySearch::fail(int index, std::exception_ptr failure)
{
    const std::lock_guard lock(m_mutex);
    if (m_failedIndex < 0 || index < m_failedIndex) {
        m_failedIndex = index;
        m_failure = std::move(failure);
        m_stopAfter.store(index);
    }
}

bool DirectorySearch::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, timeout, [this] { return m_running == 0; });
}

int DirectorySearch::filesTaken() const
{
    return std::min(m_next.load(), static_cast<int>(m_hits.size()));
}

SearchResult DirectorySearch::result()
{
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_running == 0; });
    }
    SearchResult result;
    result.failure = m_failure;
    result.failedIndex = m_failedIndex;
    const int end = m_failedIndex < 0 ? static_cast<int>(m_hits.size()) : m_failedIndex;
    for (int i = 0; i < end; ++i) {
        if (m_hits[static_cast<std::size_t>(i)] != 0)
            result.hits.push_back(i);
    }
    return result;
}

SearchResult searchDirectory(const QString& directory, const QStringList& names,
    const std::optional<QByteArray>& phrase, bool matchCase, SearchOptions options)
{
    DirectorySearch search(directory, names, phrase, matchCase, options);
    return search.result();
}

} // namespace search
