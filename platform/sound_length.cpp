#include "sound_length.h"

#include "background_thread.h"
#include "errors.h"
#include "file_names.h"

#include <QHash>
#include <QThreadPool>

#include <mpg123.h>
#include <sndfile.h>

#include <cerrno>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct CachedLength {
    qint64 size;
    qint64 modifiedMs;
    std::int64_t lengthMs;
};

std::mutex g_cacheMutex;
QHash<QByteArray, CachedLength> g_cache;

/**
 * The measuring thread: one at most, so a scan in the background never takes more than one processor, and kept
 * once started, so that a measurement started as a picture is shown never starts a thread on the window's thread.
 */
QThreadPool& measuringPool()
{
    static QThreadPool pool;
    static const bool single = [] {
        pool.setMaxThreadCount(1);
        pool.setExpiryTimeout(-1);
        return true;
    }();
    (void)single;
    return pool;
}

std::int64_t wavLengthMs(const FilePath& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw AppError(soundErrorText(sf_strerror(nullptr)));
    sf_close(file);
    if (info.samplerate <= 0)
        throw AppError(QStringLiteral("Sound file has no sample rate"));
    return std::int64_t(info.frames) * 1000 / info.samplerate;
}

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};

std::int64_t mp3LengthMs(const FilePath& path)
{
    static const int initialised = mpg123_init();
    if (initialised != MPG123_OK)
        throw AppError(soundErrorText(mpg123_plain_strerror(initialised)));
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> handle(mpg123_new(nullptr, &error));
    if (!handle)
        throw AppError(soundErrorText(mpg123_plain_strerror(error)));
    // The library would otherwise write its complaints about damaged frames to standard error.
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK)
        throw AppError(soundErrorText(mpg123_strerror(handle.get())));
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Finding the first frame's format is what tells an MPEG audio file from anything else. In a file without
    // a frame the search reads to the end and the call answers that the track is done; that answer's text is
    // also what the player's decoder reports when it opens such a file.
    const int format = mpg123_getformat(handle.get(), &rate, &channels, &encoding);
    if (format == MPG123_OK && rate <= 0)
        throw AppError(soundErrorText(mpg123_plain_strerror(MPG123_BAD_RATE)));
    if (format == MPG123_ERR)
        throw AppError(soundErrorText(mpg123_strerror(handle.get())));
    if (format != MPG123_OK)
        throw AppError(soundErrorText(mpg123_plain_strerror(format)));
    // A full scan reads every frame header: exact for any bit rate, whatever a Xing header may claim.
    if (mpg123_scan(handle.get()) != MPG123_OK)
        throw AppError(soundErrorText(mpg123_strerror(handle.get())));
    const off_t samples = mpg123_length(handle.get());
    if (samples < 0)
        throw AppError(soundErrorText(mpg123_strerror(handle.get())));
    return std::int64_t(samples) * 1000 / rate;
}

} // namespace

QString soundErrorText(const char* libraryText)
{
    if (!libraryText || *libraryText == '\0')
        return QStringLiteral("Unknown error code");
    return QString::fromUtf8(libraryText);
}

std::int64_t soundLengthMs(const FilePath& path)
{
    const RegularFileStamp stamp = requireRegularFile(path);
    const QByteArray key = absolutePath(path).bytes();
    const qint64 size = stamp.size;
    const qint64 modifiedMs = stamp.modifiedMs;
    {
        const std::scoped_lock lock(g_cacheMutex);
        const auto found = g_cache.constFind(key);
        if (found != g_cache.cend() && found->size == size && found->modifiedMs == modifiedMs)
            return found->lengthMs;
    }
    const bool mp3 = path.extension() == "mp3";
    const std::int64_t length = mp3 ? mp3LengthMs(path) : wavLengthMs(path);
    const std::scoped_lock lock(g_cacheMutex);
    g_cache.insert(key, CachedLength {size, modifiedMs, length});
    return length;
}

void clearSoundLengthCache()
{
    finishBackgroundMeasuring();
    const std::scoped_lock lock(g_cacheMutex);
    g_cache.clear();
}

void measureSoundLengthInBackground(std::function<FilePath()> findSound)
{
    measuringPool().start([findSound = std::move(findSound)] {
        markBackgroundThread();
        try {
            const FilePath path = findSound();
            if (!path.isEmpty())
                (void)soundLengthMs(path);
        } catch (...) {
            // Measured again when its picture's turn comes, which reports the failure.
        }
    });
}

void finishBackgroundMeasuring()
{
    measuringPool().waitForDone();
}

void SoundLengthProbe::open()
{
    close();
    m_length = soundLengthMs(m_fileName);
}

} // namespace platform
