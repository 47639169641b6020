#include "read_ahead.h"

#include "platform/background_thread.h"

#include <atomic>
#include <exception>
#include <thread>

namespace store {

namespace {

// A smaller picture decodes in a few milliseconds when it is shown; decoding it ahead on another thread saved less
// than handing it over cost when pictures are stepped through quickly. Its file is still read ahead.
constexpr qint64 kDecodeAheadPixels = 2'000'000;

} // namespace

struct ReadAhead::Work {
    std::optional<DescribedPicture> prepared;
    std::atomic<bool> read {false};
    std::thread worker;

    ~Work()
    {
        if (worker.joinable())
            worker.join();
    }
};

ReadAhead::ReadAhead() = default;

ReadAhead::~ReadAhead()
{
    drop();
}

void ReadAhead::start(const QString& path, int firstRow, std::function<void()> onProgress)
{
    drop();
    m_path = path;
    m_work = std::make_unique<Work>();
    Work* work = m_work.get();
    work->worker = std::thread([work, path, firstRow, onProgress = std::move(onProgress)]() mutable {
        platform::markBackgroundThread();
        try {
            std::optional<platform::FileIdentity> identity;
            const QByteArray bytes = platform::readWholeFile(path, identity);
            if (identity) {
                DescribedPicture picture = describedPictureOf(path, bytes);
                picture.identity = identity;
                const QSize size = picture.picture->size();
                if (qint64(size.width()) * size.height() >= kDecodeAheadPixels)
                    picture.picture->decodeInBackground(firstRow, std::move(onProgress));
                work->prepared = std::move(picture);
            }
        } catch (...) {
            // Dropped: showing the file reads it again and reports what is wrong with it.
            work->prepared.reset();
        }
        work->read.store(true, std::memory_order_release);
    });
}

void ReadAhead::drop()
{
    // The worker only reads a file and parses its header; the decoding it started stops with its picture.
    m_work.reset();
    m_path.clear();
}

bool ReadAhead::isRead() const
{
    return m_work && m_work->read.load(std::memory_order_acquire);
}

bool ReadAhead::isDecoded() const
{
    return isRead() && (!m_work->prepared || m_work->prepared->picture->decodingEnded());
}

std::optional<DescribedPicture> ReadAhead::take(const QString& path)
{
    // Another file (the current one shown again, say) leaves the prepared one for later.
    if (!m_work || path != m_path)
        return std::nullopt;
    if (m_work->worker.joinable())
        m_work->worker.join();
    std::optional<DescribedPicture> result;
    if (m_work->prepared && m_work->prepared->identity && platform::identityOf(path) == m_work->prepared->identity)
        result = std::move(m_work->prepared);
    drop();
    return result;
}

} // namespace store
