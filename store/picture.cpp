#include "picture.h"

#include "platform/background_thread.h"
#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace store {

bool DecodedRows::cover(int first, int last) const
{
    if (first >= last)
        return true;
    // The rows above the band are decoded last, so a span that starts above it must be covered by them alone
    // up to where the band takes over.
    if (first < bandStart) {
        if (upperEnd < std::min(last, bandStart))
            return false;
        first = bandStart;
        if (first >= last)
            return true;
    }
    return first >= bandStart && last <= bandEnd;
}

/**
 * The decoding of a layer's rows into one buffer. The worker publishes how far it got through two atomic row
 * counts (release), after the pixels are written; readers load them (acquire) and touch only those rows.
 */
struct Picture::RowDecoding final : RowTarget {
    RowDecoding(QImage image, int firstRow)
        : buffer(std::move(image))
        , bits(buffer.bits()) // taken before the image is shared, so it never detaches from the painted copies
        , bytesPerLine(buffer.bytesPerLine())
        , first(firstRow)
        , bandEnd(firstRow)
    {
    }

    unsigned char* row(int y) override { return bits + qsizetype(y) * bytesPerLine; }

    bool written(int from, int to) override
    {
        // Sequentially consistent, with `waiting` below: either the waiter sees these rows or this sees the waiter.
        (from >= first ? bandEnd : upperEnd).store(to);
        // A waiter is woken only once its rows are all there: waking it for every batch costs more than the batch.
        if (waiting.load() && rows().cover(wantedFirst.load(), wantedLast.load())) {
            {
                const std::scoped_lock lock(mutex);
            }
            arrived.notify_all();
        }
        if (onProgress)
            onProgress();
        return wanted();
    }

    [[nodiscard]] bool wanted() const override { return !stop.load(std::memory_order_relaxed); }

    /** Stops the worker if it still runs and waits for it; gives whether it ran. */
    bool stopWorker() noexcept
    {
        if (!worker.joinable())
            return false;
        stop.store(true, std::memory_order_relaxed);
        worker.join();
        return true;
    }

    [[nodiscard]] DecodedRows rows() const
    {
        return {upperEnd.load(std::memory_order_acquire), first, bandEnd.load(std::memory_order_acquire)};
    }

    void end(QString message)
    {
        error = std::move(message);
        {
            const std::scoped_lock lock(mutex);
            ended.store(true, std::memory_order_release);
        }
        arrived.notify_all();
        if (onProgress)
            onProgress();
    }

    QImage buffer;
    unsigned char* bits;
    qsizetype bytesPerLine;
    int first;
    std::atomic<int> upperEnd {0};
    std::atomic<int> bandEnd;
    std::atomic<bool> ended {false};
    std::atomic<bool> stop {false};
    /** The rows a thread waits for in waitForRows(). */
    std::atomic<bool> waiting {false};
    std::atomic<int> wantedFirst {0};
    std::atomic<int> wantedLast {0};
    /** Written by the worker before `ended`. */
    QString error;
    std::function<void()> onProgress;
    std::mutex mutex;
    std::condition_variable arrived;
    std::thread worker;
};

Picture::Picture() = default;

Picture::~Picture()
{
    // The layer has stopped its worker already (stopDecoding()); this only guards against one that did not. The
    // layer's part is gone here, so nothing of it (size()) may be asked.
    if (m_decoding)
        (void)m_decoding->stopWorker();
}

void Picture::stopDecoding() noexcept
{
    // Stopped short, the buffer is not the picture: a later image() decodes afresh.
    if (m_decoding && m_decoding->stopWorker() && m_decoding->error.isEmpty()
        && !m_decoding->rows().cover(0, decodedSize().height()))
        m_decoding.reset();
}

namespace {

QImage decodingBuffer(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        throw platform::AppError(
            QStringLiteral("Not enough memory to draw the %1×%2 picture").arg(size.width()).arg(size.height()));
    }
    return image;
}

} // namespace

void Picture::decodeInBackground(int firstRow, std::function<void()> onProgress) const
{
    if (!decodesByRows() || m_decoding || m_finished)
        return;
    QImage buffer(decodedSize(), QImage::Format_RGB32);
    if (buffer.isNull())
        return; // image() reports it when the picture is drawn
    const int first = std::clamp(firstDecodedRow(firstRow), 0, decodedSize().height());
    m_decoding = std::make_unique<RowDecoding>(std::move(buffer), first);
    RowDecoding* decoding = m_decoding.get();
    decoding->onProgress = std::move(onProgress);
    decoding->worker = std::thread([this, decoding] {
        platform::markBackgroundThread();
        decoding->end(decodeRows(*decoding, decoding->first));
    });
}

bool Picture::decodesInBackground() const
{
    return m_decoding != nullptr;
}

void Picture::waitForRows(int first, int last) const
{
    if (!m_decoding)
        return;
    RowDecoding& decoding = *m_decoding;
    decoding.wantedFirst = first;
    decoding.wantedLast = last;
    decoding.waiting = true;
    std::unique_lock lock(decoding.mutex);
    decoding.arrived.wait(lock, [&] { return decoding.ended.load() || decoding.rows().cover(first, last); });
    decoding.waiting = false;
}

DecodedRows Picture::decodedRows() const
{
    if (!m_decoding)
        return {};
    return m_decoding->rows();
}

bool Picture::decodingEnded() const
{
    return m_decoding == nullptr || m_decoding->ended.load(std::memory_order_acquire);
}

const QImage& Picture::pixelsSoFar() const
{
    static const QImage none;
    return m_decoding ? m_decoding->buffer : none;
}

QString Picture::decodeRows(RowTarget& /*target*/, int /*first*/) const
{
    return QStringLiteral("This picture is not decoded row by row");
}

void Picture::finishDecoding() const
{
    if (m_finished)
        return;
    if (!m_decoding) {
        m_decoding = std::make_unique<RowDecoding>(decodingBuffer(decodedSize()), 0);
        m_decoding->end(decodeRows(*m_decoding, 0));
    } else if (m_decoding->worker.joinable()) {
        m_decoding->worker.join();
    }
    m_finished = true;
    const RowDecoding& decoding = *m_decoding;
    if (decoding.error.isEmpty()) {
        m_image = decoding.buffer;
        return;
    }
    m_failure = decoding.error;
    // What decoded is kept for drawableImage(); the rows that were never written stay transparent.
    m_partial = QImage(decodedSize(), QImage::Format_ARGB32_Premultiplied);
    if (m_partial.isNull())
        return;
    m_partial.fill(Qt::transparent);
    const DecodedRows rows = decoding.rows();
    for (int y = 0; y < m_partial.height(); ++y) {
        if (rows.cover(y, y + 1))
            std::memcpy(m_partial.scanLine(y), decoding.buffer.constScanLine(y), std::size_t(m_partial.bytesPerLine()));
    }
}

const QImage& Picture::decodedImage() const
{
    finishDecoding();
    if (!m_failure.isEmpty())
        throw platform::AppError(m_failure);
    return m_image;
}

const QImage& Picture::drawableDecodedImage(QString& error) const
{
    try {
        return decodedImage();
    } catch (const platform::AppError& e) {
        error = e.message();
        if (!m_partial.isNull())
            return m_partial;
    }
    return undecodable();
}

QImage Picture::drawnAt(QSize /*pixels*/) const
{
    return {};
}

QImage drawingSurface(QSize pixels)
{
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() * 4 > kMaxDecodedBytes)
        return {};
    QImage image(pixels, QImage::Format_RGB32);
    if (!image.isNull())
        image.fill(Qt::white);
    return image;
}

void Picture::setReduction(int reduction)
{
    int wanted = 1;
    for (int r : {8, 4, 2}) {
        if (reduction >= r) {
            wanted = r;
            break;
        }
    }
    if (!decodesReduced() || wanted == m_reduction)
        return;
    // The pixels decoded so far have the old size: they go, and the next look decodes afresh.
    if (m_decoding)
        (void)m_decoding->stopWorker();
    m_decoding.reset();
    m_finished = false;
    m_image = QImage();
    m_failure.clear();
    m_partial = QImage();
    m_undecodable = QImage();
    m_reduction = wanted;
}

QSize Picture::decodedSize() const
{
    const QSize natural = size();
    return {(natural.width() + m_reduction - 1) / m_reduction, (natural.height() + m_reduction - 1) / m_reduction};
}

const QImage& Picture::drawableImage(QString& error) const
{
    if (decodesByRows())
        return drawableDecodedImage(error);
    try {
        return image();
    } catch (const platform::AppError& e) {
        error = e.message();
    }
    return undecodable();
}

const QImage& Picture::undecodable() const
{
    if (m_undecodable.isNull()) {
        m_undecodable = QImage(decodedSize(), QImage::Format_ARGB32_Premultiplied);
        m_undecodable.fill(Qt::transparent);
    }
    return m_undecodable;
}

} // namespace store
