#include "fault_injection.h"

#include "errors.h"

#include <QDir>

#include <algorithm>
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

bool covers(const QString& injected, const QString& path)
{
    return path == injected || path.startsWith(injected + QLatin1Char('/'));
}

} // namespace

InjectedFailure::InjectedFailure(FileOperation operation, const QString& path, int errorCode, int passes)
{
    injections().push_back({operation, QDir::cleanPath(QDir(path).absolutePath()), errorCode, passes});
}

InjectedFailure::~InjectedFailure()
{
    injections().pop_back();
}

void failIfInjected(FileOperation operation, const QString& path)
{
    std::vector<Injection>& list = injections();
    if (list.empty())
        return;
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

} // namespace platform
