#include "store/background_work.h"
#include "store/bmp_layer.h"
#include "store/gdi/dib.h"
#include "store/picture.h"
#include "store/read_ahead.h"
#include "support/bmp_builder.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <mutex>
#include <sched.h>
#include <set>
#include <thread>

using namespace testing_support;

namespace {

/** The picture decoded the way a whole decode does it: BMP by the whole-image decoder, the rest in one go. */
QImage decodedInOneGo(const QString& name, const QByteArray& bytes, QString& error)
{
    const auto picture = store::loadPicture(platform::FilePath::fromText(name), bytes);
    if (const auto* bmp = dynamic_cast<const store::BmpPicture*>(picture.get())) {
        const auto bits
            = platform::asBytes(bytes).subspan(std::size_t(bmp->pixelOffset()), std::size_t(bmp->pixelLength()));
        return store::dib::decodePixels(bmp->header(), bits);
    }
    return picture->drawableImage(error);
}

} // namespace

TEST(BackgroundDecode, EndsWithExactlyWhatADecodeInOneGoGives)
{
    const QByteArray bmp = bmpFromImage(photoLikeImage(131, 77));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"baseline, odd size.jpg", encodeJpeg(photoLikeImage(331, 257))},
        {"progressive.jpg", encodeJpeg(photoLikeImage(200, 150), {.progressive = true})},
        {"grey.jpg", encodeJpeg(photoLikeImage(97, 61), {.grey = true})},
        {"cmyk.jpg", encodeCmykJpeg(40, 30, {10, 200, 30, 40}, true)},
        {"data fails to decode.jpg", withoutQuantisationTables(encodeJpeg(photoLikeImage(64, 48)))},
        {"bottom-up.bmp", bmp},
        {"rows missing.bmp", bmp.left(bmp.size() - 3000)},
        {"top-down palette.bmp",
            buildBmp({.width = 5,
                .height = 3,
                .bitCount = 8,
                .topDown = true,
                .palette = {qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(9, 9, 9)},
                .pixels = packRows(8, {{0, 1, 2, 1, 0}, {2, 2, 2, 2, 2}, {1, 0, 1, 0, 1}})})},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromUtf8(c.name);
        QString oneGoError;
        const QImage expected = decodedInOneGo(name, c.bytes, oneGoError);
        const int height = expected.height();
        for (const int first : {0, height / 3, height - 1}) {
            SCOPED_TRACE(std::string(c.name) + ", first row " + std::to_string(first));
            const auto picture = store::loadPicture(platform::FilePath::fromText(name), c.bytes);
            std::atomic<int> calls {0};
            picture->decodeInBackground(first, [&] { ++calls; });
            ASSERT_TRUE(picture->decodesInBackground());
            const int last = std::min(height, first + 8);
            picture->waitForRows(first, last);
            EXPECT_TRUE(picture->decodingEnded() || picture->decodedRows().cover(first, last));
            // The rows already there are final.
            const store::DecodedRows rows = picture->decodedRows();
            const QImage soFar = picture->pixelsSoFar();
            for (int y = rows.bandStart; y < rows.bandEnd; ++y)
                EXPECT_EQ(
                    0, std::memcmp(soFar.constScanLine(y), expected.constScanLine(y), std::size_t(soFar.width()) * 4))
                    << y;
            QString error;
            EXPECT_EQ(picture->drawableImage(error), expected);
            EXPECT_EQ(error, oneGoError);
            EXPECT_TRUE(picture->decodingEnded());
            EXPECT_GT(calls.load(), 0);
        }
    }
}

TEST(BackgroundDecode, APictureLetGoWhileDecodingStopsItsWorker)
{
    for (const auto& [name, bytes] : {std::pair(QStringLiteral("a.jpg"), encodeJpeg(photoLikeImage(1600, 1200))),
             std::pair(QStringLiteral("a.bmp"), bmpFromImage(photoLikeImage(1600, 1200)))}) {
        for (int i = 0; i < 3; ++i) {
            auto picture = store::loadPicture(platform::FilePath::fromText(name), bytes);
            picture->decodeInBackground(600, {});
            picture.reset(); // joins the worker; a use of freed data shows under the sanitizers
        }
        // A picture that never decoded in the background still decodes where it is asked.
        EXPECT_EQ(store::loadPicture(platform::FilePath::fromText(name), bytes)->image().size(), QSize(1600, 1200));
    }
}

TEST(BackgroundDecode, ReadingAheadRunsAfterEarlierWorkWithoutPreemptingTheWindowsThread)
{
    std::mutex mutex;
    std::set<int> policies;
    const auto notePolicy = [&] {
        const std::scoped_lock lock(mutex);
        policies.insert(::sched_getscheduler(0));
    };
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("a.jpg"), encodeJpeg(photoLikeImage(2000, 1200)));

    // A read-ahead queued behind other background work waits for its turn, and a take waits for it.
    std::promise<void> gate;
    store::runInBackground([&, opened = gate.get_future().share()] {
        opened.wait();
        notePolicy();
    });
    store::ReadAhead readAhead;
    readAhead.start(platform::FilePath::fromText(path), 0, notePolicy);
    EXPECT_FALSE(readAhead.isRead());
    gate.set_value();
    std::optional<store::DescribedPicture> taken = readAhead.take(platform::FilePath::fromText(path));
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->picture->image().size(), QSize(2000, 1200));

    // Dropped while still queued, it is let go once its turn has come.
    std::promise<void> second;
    store::runInBackground([opened = second.get_future().share()] { opened.wait(); });
    readAhead.start(platform::FilePath::fromText(path), 0, {});
    std::thread opener([&] { second.set_value(); });
    readAhead.drop();
    opener.join();
    store::waitForBackgroundWork();

    // The kept thread and the decoding threads it starts are background work from their first step.
    EXPECT_EQ(policies, std::set<int> {SCHED_BATCH});
}
