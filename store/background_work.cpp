#include "background_work.h"

#include "platform/background_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace store {

namespace {

class Worker {
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    ~Worker()
    {
        {
            const std::scoped_lock lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(std::function<void()> work)
    {
        {
            const std::scoped_lock lock(m_mutex);
            if (!m_thread.joinable()) {
                m_thread = std::thread([this] {
                    platform::markBackgroundThread();
                    run();
                });
            }
            m_queue.push_back(std::move(work));
        }
        m_changed.notify_all();
    }

    void waitForEmpty()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_running; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            std::function<void()> work = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = true;
            lock.unlock();
            try {
                work();
            } catch (...) {
                // The work reports its own failures; the thread goes on with the next.
            }
            // What the work holds goes here, outside the lock.
            work = nullptr;
            lock.lock();
            m_running = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_queue;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};

Worker& worker()
{
    static Worker instance;
    return instance;
}

} // namespace

void runInBackground(std::function<void()> work)
{
    worker().add(std::move(work));
}

void releaseInBackground(std::shared_ptr<void> owned)
{
    if (owned)
        runInBackground([owned = std::move(owned)] {});
}

void waitForBackgroundWork()
{
    worker().waitForEmpty();
}

} // namespace store
