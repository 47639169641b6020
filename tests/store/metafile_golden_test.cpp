// Renders the sample metafiles at natural size and compares them with independent reference renderings.
#include "support/image_compare.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

#include "platform/errors.h"
#include "store/picture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using testing_support::samplePath;

const char* const kSamples[] = {
    "fig2dev-flowchart.emf",
    "gnuplot-lines.emf",
    "ink-book.emf",
    "lo-interstate.emf",
    "lo-photo.emf",
    "pstoedit-3dhouse.emf",
    "ink-clock.wmf",
    "lo-interstate.wmf",
    "lotpl-classic.wmf",
    "lotpl-marine.wmf",
};

struct Rendering {
    std::optional<QImage> image;
    QString error;
};

Rendering render(const QString& name)
{
    testing_support::ensureGuiApplication();
    Rendering result;
    try {
        const QByteArray bytes = testing_support::fileBytes(samplePath("metafiles/" + name));
        const auto picture = store::loadPicture(platform::FilePath::fromText(name), bytes);
        result.image = picture->image();
        // Set ZELKAVIO_SAVE_RENDERINGS to a folder to look at the renderings next to the references.
        if (const QByteArray dir = qgetenv("ZELKAVIO_SAVE_RENDERINGS"); !dir.isEmpty())
            result.image->save(QDir(QString::fromLocal8Bit(dir)).filePath(name + ".png"));
    } catch (const platform::AppError& e) {
        result.error = e.message();
    }
    return result;
}

QImage reference(const QString& name)
{
    return QImage(samplePath("metafiles/reference/" + name + ".png"));
}

class MetafileGolden : public testing::TestWithParam<const char*> { };

TEST_P(MetafileGolden, matchesTheReferenceWithinTwoPercent)
{
    REQUIRE_SHARED_SAMPLE("metafiles/" + QString::fromLatin1(GetParam()));
    const QString name = QString::fromLatin1(GetParam());
    const Rendering r = render(name);
    ASSERT_TRUE(r.image) << r.error.toStdString();
    const QImage ref = reference(name);
    ASSERT_FALSE(ref.isNull());
    ASSERT_EQ(r.image->size(), ref.size());
    const double share = testing_support::differingShare(*r.image, ref);
    // The other way round too, so that a drawing that leaves thin lines out cannot pass for a match.
    const double missing = testing_support::differingShare(ref, *r.image);
    std::printf("differing pixels in %s: %.3f %% (reference pixels without a match: %.3f %%)\n", GetParam(),
        share * 100, missing * 100);
    EXPECT_LE(missing, 0.02);
    if (const QByteArray dir = qgetenv("ZELKAVIO_SAVE_RENDERINGS"); !dir.isEmpty())
        testing_support::differenceMap(*r.image, ref)
            .save(QDir(QString::fromLocal8Bit(dir)).filePath(name + ".diff.png"));
    EXPECT_LE(share, 0.02);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MetafileGolden, testing::ValuesIn(kSamples), [](const testing::TestParamInfo<const char*>& param) {
        std::string name = param.param;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST(MetafileGoldenSummary, medianShareOfDifferingPixels)
{
    REQUIRE_SHARED_SAMPLE("metafiles/reference");
    std::vector<double> shares;
    for (const char* sample : kSamples) {
        const QString name = QString::fromLatin1(sample);
        const Rendering r = render(name);
        ASSERT_TRUE(r.image) << sample << ": " << r.error.toStdString();
        shares.push_back(testing_support::differingShare(*r.image, reference(name)));
    }
    ASSERT_FALSE(shares.empty());
    std::sort(shares.begin(), shares.end());
    const std::size_t n = shares.size();
    const double median = n % 2 ? shares[n / 2] : (shares[n / 2 - 1] + shares[n / 2]) / 2;
    std::printf("median share of differing pixels over %zu samples: %.3f %%\n", n, median * 100);
    EXPECT_LE(median, 0.005);
}

TEST(MalformedMetafiles, renderOrFailWithAClearError)
{
    REQUIRE_SHARED_SAMPLE("metafiles/malformed");
    testing_support::ensureGuiApplication();
    const QDir dir(samplePath("metafiles/malformed"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 4);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = testing_support::fileBytes(dir.filePath(name));
        try {
            const auto picture = store::loadPicture(platform::FilePath::fromText(name), bytes);
            const QImage& image = picture->image();
            EXPECT_EQ(image.size(), picture->size());
        } catch (const platform::AppError& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
}

TEST(MalformedMetafiles, truncatedEnhancedMetafileIsRefusedWithItsSizes)
{
    REQUIRE_SHARED_SAMPLE("metafiles/malformed/emf-truncated.emf");
    const QByteArray bytes = testing_support::fileBytes(samplePath("metafiles/malformed/emf-truncated.emf"));
    try {
        (void)store::loadPicture(platform::FilePath("emf-truncated.emf"), bytes);
        FAIL() << "a truncated file was accepted";
    } catch (const platform::AppError& e) {
        EXPECT_TRUE(e.message().startsWith("Truncated enhanced metafile")) << e.message().toStdString();
    }
}

TEST(MalformedMetafiles, recordRunningPastTheEndStopsPlaybackWithoutAnError)
{
    REQUIRE_SHARED_SAMPLE("metafiles/malformed/emf-huge-record-size.emf");
    testing_support::ensureGuiApplication();
    // Its second record claims almost 2 GiB; nothing is drawn before it.
    const QByteArray bytes = testing_support::fileBytes(samplePath("metafiles/malformed/emf-huge-record-size.emf"));
    const auto picture = store::loadPicture(platform::FilePath("emf-huge-record-size.emf"), bytes);
    const QImage& image = picture->image();
    ASSERT_EQ(image.size(), QSize(351, 383));
    EXPECT_EQ(image.pixel(175, 190), qRgb(255, 255, 255));
}

} // namespace
