#include "background_release.h"

#include "platform/background_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace store {

namespace {

class Releaser {
public:
    Releaser() = default;
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;

    ~Releaser()
    {
        {
            const std::scoped_lock lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(std::shared_ptr<void> owned)
    {
        {
            const std::scoped_lock lock(m_mutex);
            m_queue.push_back(std::move(owned));
            if (!m_thread.joinable())
                m_thread = std::thread([this] {
                    platform::markBackgroundThread();
                    run();
                });
        }
        m_changed.notify_all();
    }

    void waitForEmpty()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_releasing; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            std::shared_ptr<void> owned = std::move(m_queue.front());
            m_queue.pop_front();
            m_releasing = true;
            lock.unlock();
            owned.reset();
            lock.lock();
            m_releasing = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<void>> m_queue;
    bool m_releasing = false;
    bool m_stopping = false;
    std::thread m_thread;
};

Releaser& releaser()
{
    static Releaser instance;
    return instance;
}

} // namespace

void releaseInBackground(std::shared_ptr<void> owned)
{
    if (owned)
        releaser().add(std::move(owned));
}

void waitForBackgroundReleases()
{
    releaser().waitForEmpty();
}

} // namespace store
