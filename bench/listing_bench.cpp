// Reading the file list of a directory of 10,000 pictures, against a bare readdir + std::sort of the same names.
#include "store/picture_formats.h"
#include "viewer/file_listing.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

namespace {

constexpr int kPictures = 10000;

/** A directory of 10,000 picture names (and a few other files), made once and kept in /tmp between runs. */
const QString& pictureDirectory()
{
    static const QString path = [] {
        const QString dir = QStringLiteral("/tmp/zelkavio-listing-bench");
        QDir().mkpath(dir);
        const char* extensions[] = {"jpg", "JPG", "jpeg", "bmp", "emf", "wmf"};
        for (int i = 0; i < kPictures; ++i) {
            const QString name = (i % 3 == 0 ? QStringLiteral("Zdjęcie %1.%2") : QStringLiteral("img_%1.%2"))
                                     .arg(i, 5, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(extensions[i % 6]));
            QFile file(dir + QLatin1Char('/') + name);
            if (!file.exists() && file.open(QIODevice::WriteOnly))
                file.write("x");
        }
        for (int i = 0; i < 100; ++i) {
            QFile other(dir + QStringLiteral("/notes_%1.txt").arg(i));
            if (!other.exists() && other.open(QIODevice::WriteOnly))
                other.write("x");
        }
        return dir;
    }();
    return path;
}

void ourListing(benchmark::State& state, const QLocale& locale)
{
    const QString& dir = pictureDirectory();
    const QString mask = store::pictureMask();
    qsizetype count = 0;
    for (auto _ : state) {
        const QStringList names = viewer::listPictureFiles(platform::FilePath::fromText(dir), mask, locale);
        count = names.size();
        benchmark::DoNotOptimize(names.constData());
    }
    state.counters["files"] = static_cast<double>(count);
}

void BM_Listing(benchmark::State& state)
{
    ourListing(state, QLocale());
}

void BM_ListingPolish(benchmark::State& state)
{
    ourListing(state, QLocale(QLocale::Polish, QLocale::Poland));
}

void BM_BareReaddirSort(benchmark::State& state)
{
    const QByteArray dir = QFile::encodeName(pictureDirectory());
    std::size_t count = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* d = ::opendir(dir.constData());
        while (const dirent* entry = ::readdir(d)) {
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        }
        ::closedir(d);
        std::sort(names.begin(), names.end());
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["files"] = static_cast<double>(count);
}

// The same listing through QDirIterator, which we measured before choosing readdir.
void BM_QDirIteratorListing(benchmark::State& state)
{
    const QString& dir = pictureDirectory();
    const QStringList filters = store::pictureMask().split(QLatin1Char(';'));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (auto _ : state) {
        QStringList names;
        QDirIterator it(dir, filters, QDir::Files);
        while (it.hasNext()) {
            it.next();
            names.push_back(it.fileName());
        }
        std::sort(names.begin(), names.end(), collator);
        benchmark::DoNotOptimize(names.constData());
    }
}

} // namespace

BENCHMARK(BM_BareReaddirSort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Listing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingPolish)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QDirIteratorListing)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
