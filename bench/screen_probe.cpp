// The timing half of scripts/first-on-screen.sh: starts a picture viewer and watches the X server's screen until
// the test photo is on it, by the same rule for every program.
//
//   screen_probe photo PATH           writes the test photo: a 24-megapixel photograph-like JPEG whose four corners
//                                     hold blocks of pure red, green, blue and magenta, a tenth of each side
//   screen_probe time SECONDS -- COMMAND [ARGUMENT...]
//                                     starts COMMAND in a process group of its own and prints two times in seconds
//                                     from just before the start: when the top left block first shows ("first") and
//                                     when all four show ("whole"), "-" for what did not show within SECONDS; then
//                                     ends the group and waits until no block is left on the screen
//
// A block counts when the screen holds at least kBlockPixels pixels of its colour (the photo shown at least about
// 290 × 190), so thumbnails of the photo do not count; no other pixel of the photo comes near those colours. The
// screen is read through shared memory (MIT-SHM) every few milliseconds.
#include "support/jpeg_builder.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Block {
    int r, g, b;
};
// Top left, top right, bottom left, bottom right.
constexpr std::array<Block, 4> kBlocks {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 255}}};
constexpr int kTolerance = 40;
constexpr int kBlockPixels = 800;

int writePhoto(const char* path)
{
    QImage photo = testing_support::photoLikeImage(6000, 4000).convertToFormat(QImage::Format_RGB32);
    // The photograph's own colours are kept away from the blocks' pure ones (every channel within 48 to 207), with
    // sensor-like noise, so that the file is as large as a camera's: about 8 MB.
    QRandomGenerator noise(26);
    const auto channel = [&](int value) { return 64 + value / 2 + int(noise.bounded(33)) - 16; };
    for (int y = 0; y < photo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            row[x] = qRgb(channel(qRed(row[x])), channel(qGreen(row[x])), channel(qBlue(row[x])));
    }
    QPainter painter(&photo);
    const int w = photo.width() / 10;
    const int h = photo.height() / 10;
    const std::array<QPoint, 4> corners {
        {{0, 0}, {photo.width() - w, 0}, {0, photo.height() - h}, {photo.width() - w, photo.height() - h}}};
    for (std::size_t i = 0; i < kBlocks.size(); ++i)
        painter.fillRect(QRect(corners[i], QSize(w, h)), QColor(kBlocks[i].r, kBlocks[i].g, kBlocks[i].b));
    painter.end();
    QFile file(QString::fromLocal8Bit(path));
    const QByteArray jpeg = testing_support::encodeJpeg(photo);
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size() ? 0 : 1;
}

/** The root window read through shared memory. */
class Screen {
public:
    Screen()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display || !XShmQueryExtension(m_display))
            return;
        const int screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, screen);
        m_image = XShmCreateImage(m_display, DefaultVisual(m_display, screen),
            unsigned(DefaultDepth(m_display, screen)), ZPixmap, nullptr, &m_shm,
            unsigned(DisplayWidth(m_display, screen)), unsigned(DisplayHeight(m_display, screen)));
        if (!m_image || m_image->bits_per_pixel != 32)
            return;
        m_shm.shmid = shmget(
            IPC_PRIVATE, std::size_t(m_image->bytes_per_line) * std::size_t(m_image->height), IPC_CREAT | 0600);
        m_shm.shmaddr = m_image->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        m_ready = XShmAttach(m_display, &m_shm) != 0;
        XSync(m_display, False);
        shmctl(m_shm.shmid, IPC_RMID, nullptr); // freed when both sides let go
    }
    ~Screen()
    {
        if (m_ready)
            XShmDetach(m_display, &m_shm);
        if (m_image)
            XDestroyImage(m_image);
        if (m_shm.shmaddr)
            shmdt(m_shm.shmaddr);
        if (m_display)
            XCloseDisplay(m_display);
    }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }

    /** Which blocks the screen shows now, as bits 1, 2, 4 and 8; every second pixel of every second row is read. */
    unsigned blocksShown()
    {
        if (!XShmGetImage(m_display, m_root, m_image, 0, 0, AllPlanes))
            return 0;
        std::array<int, 4> counts {};
        for (int y = 0; y < m_image->height; y += 2) {
            const auto* row
                = reinterpret_cast<const std::uint32_t*>(m_image->data + std::ptrdiff_t(y) * m_image->bytes_per_line);
            for (int x = 0; x < m_image->width; x += 2) {
                const std::uint32_t p = row[x];
                const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
                for (std::size_t i = 0; i < kBlocks.size(); ++i) {
                    if (std::abs(r - kBlocks[i].r) <= kTolerance && std::abs(g - kBlocks[i].g) <= kTolerance
                        && std::abs(b - kBlocks[i].b) <= kTolerance)
                        ++counts[i];
                }
            }
        }
        unsigned shown = 0;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            if (counts[i] * 4 >= kBlockPixels)
                shown |= 1U << i;
        }
        return shown;
    }

private:
    Display* m_display = nullptr;
    Window m_root = 0;
    XImage* m_image = nullptr;
    XShmSegmentInfo m_shm {};
    bool m_ready = false;
};

std::string seconds(const std::optional<double>& value)
{
    if (!value)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *value);
    return text;
}

int timeCommand(double limit, char** command)
{
    Screen screen;
    if (!screen.ready()) {
        std::fprintf(stderr, "screen_probe: cannot read the X server's screen through MIT-SHM\n");
        return 2;
    }
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    setpgid(child, child);
    std::optional<double> first;
    std::optional<double> whole;
    for (;;) {
        const unsigned shown = screen.blocksShown();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if ((shown & 1U) && !first)
            first = elapsed;
        if (shown == 0xF) {
            whole = elapsed;
            break;
        }
        if (elapsed > limit || waitpid(child, nullptr, WNOHANG) == child)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    kill(-child, SIGTERM);
    for (int i = 0; i < 300 && waitpid(child, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The next start begins on a screen without the photo.
    for (int i = 0; i < 500 && screen.blocksShown() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("%s %s\n", seconds(first).c_str(), seconds(whole).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "photo") == 0)
        return writePhoto(argv[2]);
    if (argc >= 5 && std::strcmp(argv[1], "time") == 0 && std::strcmp(argv[3], "--") == 0)
        return timeCommand(std::atof(argv[2]), argv + 4);
    std::fprintf(stderr, "usage: screen_probe photo PATH | screen_probe time SECONDS -- COMMAND [ARGUMENT...]\n");
    return 2;
}
