#pragma once

#include <csignal>
#include <cstdint>

#include <sys/resource.h>

namespace testing_support {

/**
 * While it lives, no file of this process may grow past `bytes`: a write beyond fails with EFBIG (the signal
 * that would end the process is ignored meanwhile, as the programs ignore it).
 */
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::int64_t bytes)
    {
        struct sigaction ignore { };
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_previousAction);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        ::sigaction(SIGXFSZ, &m_previousAction, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous {};
    struct sigaction m_previousAction { };
};

} // namespace testing_support
