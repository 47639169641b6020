#include "phrase_search.h"

#include "platform/errors.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace search {

namespace {

constexpr std::size_t kPieceSize = std::size_t {256} * 1024;

constexpr std::uint8_t foldAsciiLetter(std::uint8_t c)
{
    return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - ('a' - 'A')) : c;
}

/** Closes a descriptor when it goes out of scope. */
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

PhraseMatcher::PhraseMatcher(QByteArray phrase, bool matchCase)
    : m_phrase(std::move(phrase))
    , m_matchCase(matchCase)
{
    if (!m_matchCase) {
        for (char& c : m_phrase)
            c = static_cast<char>(foldAsciiLetter(static_cast<std::uint8_t>(c)));
    }
}

bool PhraseMatcher::foundIn(platform::ByteView bytes) const
{
    if (m_phrase.isEmpty() || bytes.size() < static_cast<std::size_t>(m_phrase.size()))
        return false;
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const std::size_t length = static_cast<std::size_t>(m_phrase.size());
    if (m_matchCase)
        return ::memmem(bytes.data(), bytes.size(), phrase, length) != nullptr;
    const auto folded = [](std::uint8_t a, std::uint8_t b) { return foldAsciiLetter(a) == b; };
    return std::search(bytes.begin(), bytes.end(), phrase, phrase + length, folded) != bytes.end();
}

bool fileContains(int directoryFd, const QString& name, const PhraseMatcher& matcher)
{
    const QByteArray encoded = QFile::encodeName(name);
    const FileDescriptor file {::openat(directoryFd, encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        throw platform::IoError(errno, name);
    struct stat st { };
    if (::fstat(file.fd, &st) != 0)
        throw platform::IoError(errno, name);
    if (!S_ISREG(st.st_mode))
        return false;

    const std::size_t carry = static_cast<std::size_t>(matcher.carry());
    std::vector<std::uint8_t> buffer(carry + kPieceSize);
    std::size_t kept = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.data() + kept, kPieceSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw platform::IoError(errno, name);
        }
        if (got == 0)
            return false;
        const std::size_t filled = kept + static_cast<std::size_t>(got);
        if (matcher.foundIn({buffer.data(), filled}))
            return true;
        // The last bytes may hold the start of an occurrence that the next piece completes.
        kept = std::min(carry, filled);
        std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    }
}

} // namespace search
