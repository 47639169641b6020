#include "read_ahead.h"

#include "background_work.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace store {

namespace {

// A smaller picture decodes in a few milliseconds when it is shown; decoding it ahead on another thread saved less
// than handing it over cost when pictures are stepped through quickly. Its file is still read ahead.
constexpr qint64 kDecodeAheadPixels = 2'000'000;

} // namespace

struct ReadAhead::Work {
    std::optional<DescribedPicture> prepared;
    std::atomic<bool> read {false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;

    /** The read's last step: nothing of the work is touched after it. */
    void finish()
    {
        // Notified under the lock, so that a waiter cannot free the work before the notification is done.
        const std::scoped_lock lock(mutex);
        finished = true;
        ended.notify_all();
    }

    void waitForEnd()
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [this] { return finished; });
    }

    ~Work() { waitForEnd(); }
};

ReadAhead::ReadAhead() = default;

ReadAhead::~ReadAhead()
{
    drop();
}

ReadAhead::ReadAhead(ReadAhead&& other) noexcept
    : m_work(std::move(other.m_work))
    , m_path(std::exchange(other.m_path, platform::FilePath()))
{
}

ReadAhead& ReadAhead::operator=(ReadAhead&& other) noexcept
{
    if (this != &other) {
        drop();
        m_work = std::move(other.m_work);
        m_path = std::exchange(other.m_path, platform::FilePath());
    }
    return *this;
}

void ReadAhead::start(const platform::FilePath& path, int firstRow, std::function<void()> onProgress,
    std::function<int(QSize)> reductionFor)
{
    drop();
    m_path = path;
    m_work = std::make_unique<Work>();
    Work* work = m_work.get();
    auto read
        = [work, path, firstRow, onProgress = std::move(onProgress), reductionFor = std::move(reductionFor)]() mutable {
              try {
                  std::optional<platform::FileIdentity> identity;
                  const QByteArray bytes = platform::readWholeFile(path, identity);
                  if (identity) {
                      DescribedPicture picture = describedPictureOf(path, bytes);
                      picture.identity = identity;
                      const QSize size = picture.picture->size();
                      if (reductionFor)
                          picture.picture->setReduction(reductionFor(size));
                      if (qint64(size.width()) * size.height() >= kDecodeAheadPixels)
                          picture.picture->decodeInBackground(firstRow, std::move(onProgress));
                      work->prepared = std::move(picture);
                  }
              } catch (...) {
                  // Dropped: showing the file reads it again and reports what is wrong with it.
                  work->prepared.reset();
              }
              work->read.store(true, std::memory_order_release);
              work->finish();
          };
    try {
        runInBackground(std::move(read));
    } catch (...) {
        // No thread to read on: the file is read when it is shown.
        work->read.store(true, std::memory_order_release);
        work->finish();
    }
}

void ReadAhead::drop()
{
    // The worker only reads a file and parses its header; the decoding it started stops with its picture.
    m_work.reset();
    m_path = {};
}

bool ReadAhead::isRead() const
{
    return m_work && m_work->read.load(std::memory_order_acquire);
}

bool ReadAhead::isDecoded() const
{
    return isRead() && (!m_work->prepared || m_work->prepared->picture->decodingEnded());
}

std::optional<DescribedPicture> ReadAhead::take(const platform::FilePath& path)
{
    // Another file (the current one shown again, say) leaves the prepared one for later.
    if (!m_work || path != m_path)
        return std::nullopt;
    m_work->waitForEnd();
    std::optional<DescribedPicture> result;
    if (m_work->prepared && m_work->prepared->identity && platform::identityOf(path) == m_work->prepared->identity)
        result = std::move(m_work->prepared);
    drop();
    return result;
}

} // namespace store
