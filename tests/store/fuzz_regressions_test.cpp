// Inputs that once broke a picture layer (kept from fuzzing, in tests/fuzz/regressions/<format>): each loads and
// draws, or fails with a clear error. A folder that holds no file fails, so a lost corpus cannot pass unseen.
#include "support/image_compare.h"
#include "support/temp_dir.h"

#include "platform/errors.h"
#include "store/layers.h"
#include "store/picture.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

struct Corpus {
    const char* format;
    /** Pictures larger than this (in either direction) are loaded but not drawn, to keep the test quick. */
    int largestDrawn;
};

class FuzzRegressions : public testing::TestWithParam<Corpus> { };

TEST_P(FuzzRegressions, EachKeptInputLoadsAndDrawsOrFailsWithAMessage)
{
    testing_support::ensureGuiApplication();
    const QDir dir(QStringLiteral(ZELKAVIO_FUZZ_REGRESSIONS) + QLatin1Char('/') + QLatin1String(GetParam().format));
    const QStringList names = dir.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty()) << "no kept inputs in " << dir.path().toStdString();
    const bool isBmp = QLatin1String(GetParam().format) == QLatin1String("bmp");
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = testing_support::fileBytes(dir.filePath(name));
        ASSERT_FALSE(bytes.isEmpty());
        try {
            const auto picture = store::loadPicture(platform::FilePath::fromText(name), bytes);
            EXPECT_LE(picture->pictureEnd(), bytes.size());
            const QSize size = picture->size();
            if (size.width() > GetParam().largestDrawn || size.height() > GetParam().largestDrawn)
                continue;
            EXPECT_EQ(picture->image().size(), size);
            // What a writer keeps of a bitmap in front of a description reads back as the same picture.
            if (isBmp) {
                const QByteArray kept = picture->headForDescription(bytes);
                EXPECT_EQ(store::loadBmp(kept + "@||@opis")->image(), picture->image());
            }
        } catch (const platform::AppError& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FuzzRegressions,
    testing::Values(Corpus {"bmp", 1 << 16}, Corpus {"emf", 2048}, Corpus {"jpeg", 1 << 16}, Corpus {"wmf", 512}),
    [](const testing::TestParamInfo<Corpus>& param) { return std::string(param.param.format); });

} // namespace
