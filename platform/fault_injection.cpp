#include "fault_injection.h"

#include "errors.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct Injection {
    FileOperation operation;
    QString path;
    int errorCode;
    int passes;
};

std::vector<Injection>& injections()
{
    static std::vector<Injection> list;
    return list;
}

/** The search's workers check from their own threads. */
std::mutex& guard()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::function<void(FileOperation, const QString&)>>& stops()
{
    static std::vector<std::function<void(FileOperation, const QString&)>> list;
    return list;
}

/** Whether any failure or stop is injected; read without the lock, so the program's own checks cost one load. */
std::atomic<int> active {0};

bool covers(const QString& injected, const QString& path)
{
    return path == injected || path.startsWith(injected + QLatin1Char('/'));
}

} // namespace

InjectedFailure::InjectedFailure(FileOperation operation, const QString& path, int errorCode, int passes)
{
    const std::lock_guard lock(guard());
    injections().push_back({operation, QDir::cleanPath(QDir(path).absolutePath()), errorCode, passes});
    ++active;
}

InjectedFailure::~InjectedFailure()
{
    const std::lock_guard lock(guard());
    injections().pop_back();
    --active;
}

InjectedStop::InjectedStop(std::function<void(FileOperation, const QString&)> stop)
{
    const std::lock_guard lock(guard());
    stops().push_back(std::move(stop));
    ++active;
}

InjectedStop::~InjectedStop()
{
    const std::lock_guard lock(guard());
    stops().pop_back();
    --active;
}

namespace {

void runStops(FileOperation operation, const QString& path)
{
    thread_local bool stopped = false;
    if (stopped)
        return;
    std::vector<std::function<void(FileOperation, const QString&)>> now;
    {
        const std::lock_guard lock(guard());
        now = stops();
    }
    // Outside the lock: a stop reads files, and may look at the checks of its own reads.
    stopped = true;
    try {
        for (const auto& stop : now)
            stop(operation, path);
    } catch (...) {
        stopped = false;
        throw;
    }
    stopped = false;
}

} // namespace

void failIfInjected(FileOperation operation, const QString& path)
{
    if (active.load(std::memory_order_relaxed) == 0)
        return;
    runStops(operation, path);
    const std::lock_guard lock(guard());
    std::vector<Injection>& list = injections();
    const QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    const auto hit = std::find_if(list.rbegin(), list.rend(), [&](const Injection& injection) {
        return injection.operation == operation && covers(injection.path, cleaned);
    });
    if (hit == list.rend())
        return;
    if (hit->passes > 0) {
        --hit->passes;
        return;
    }
    throw IoError(hit->errorCode, path);
}

void failIfInjected(FileOperation operation, const FilePath& path)
{
    if (active.load(std::memory_order_relaxed) != 0)
        failIfInjected(operation, path.toText());
}

} // namespace platform
