#include "screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {
namespace {
std::optional<QSize> g_fakeSize;
}

QSize primaryScreenSize()
{
    if (g_fakeSize)
        return *g_fakeSize;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

double primaryScreenRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1;
}

void fakePrimaryScreenSize(std::optional<QSize> size)
{
    g_fakeSize = size;
}

} // namespace platform
