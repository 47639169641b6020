// What showing photos upright costs. Reading the Exif orientation of a 24-megapixel photo's bytes (Exif as a
// camera writes it: some forty tags and a thumbnail) through its Exif segment, against Exiv2 opening the whole
// file from memory; and loading and drawing that photo stored upright, turned half round and turned a quarter, in
// the same run.
#include "store/exif_orientation.h"
#include "store/exiv2_setup.h"
#include "store/layers.h"
#include "support/jpeg_builder.h"

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <map>

namespace {

// Set up before any benchmark runs, as the programs do first thing.
[[maybe_unused]] const bool exiv2Ready = (store::initialiseExiv2(), true);

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

/** Exif data as a camera writes it, with `orientation`. */
QByteArray cameraExif(int orientation)
{
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Zelkavio";
    exif["Exif.Image.Model"] = "Bench 24";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    exif["Exif.Image.XResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.ResolutionUnit"] = static_cast<std::uint16_t>(2);
    exif["Exif.Image.Software"] = "Firmware 1.2.3";
    exif["Exif.Image.DateTime"] = "2026:12:08 12:00:00";
    exif["Exif.Image.Artist"] = "Bench";
    exif["Exif.Image.Copyright"] = "Bench";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ExposureProgram"] = static_cast<std::uint16_t>(3);
    exif["Exif.Photo.ISOSpeedRatings"] = static_cast<std::uint16_t>(200);
    exif["Exif.Photo.DateTimeOriginal"] = "2026:12:08 12:00:00";
    exif["Exif.Photo.DateTimeDigitized"] = "2026:12:08 12:00:00";
    exif["Exif.Photo.ShutterSpeedValue"] = Exiv2::Rational(8, 1);
    exif["Exif.Photo.ApertureValue"] = Exiv2::URational(5, 1);
    exif["Exif.Photo.ExposureBiasValue"] = Exiv2::Rational(0, 3);
    exif["Exif.Photo.MaxApertureValue"] = Exiv2::URational(3, 1);
    exif["Exif.Photo.MeteringMode"] = static_cast<std::uint16_t>(5);
    exif["Exif.Photo.Flash"] = static_cast<std::uint16_t>(16);
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 1);
    exif["Exif.Photo.UserComment"] = "charset=Ascii A photo for the benchmark";
    exif["Exif.Photo.SubSecTime"] = "00";
    exif["Exif.Photo.ColorSpace"] = static_cast<std::uint16_t>(1);
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(kWidth);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(kHeight);
    exif["Exif.Photo.FocalPlaneXResolution"] = Exiv2::URational(4000, 1);
    exif["Exif.Photo.FocalPlaneYResolution"] = Exiv2::URational(4000, 1);
    exif["Exif.Photo.CustomRendered"] = static_cast<std::uint16_t>(0);
    exif["Exif.Photo.ExposureMode"] = static_cast<std::uint16_t>(0);
    exif["Exif.Photo.WhiteBalance"] = static_cast<std::uint16_t>(0);
    exif["Exif.Photo.SceneCaptureType"] = static_cast<std::uint16_t>(0);
    exif["Exif.Photo.BodySerialNumber"] = "123456789";
    exif["Exif.Photo.LensModel"] = "50mm F1.8";
    exif["Exif.GPSInfo.GPSVersionID"] = "2 3 0 0";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "52/1 13/1 0/1";
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"] = "21/1 0/1 0/1";
    const QByteArray thumbnail
        = testing_support::encodeJpeg(testing_support::photoLikeImage(160, 120), {.quality = 75});
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
        static_cast<long>(thumbnail.size()), Exiv2::URational(72, 1), Exiv2::URational(72, 1), 2);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return {reinterpret_cast<const char*>(blob.data()), static_cast<qsizetype>(blob.size())};
}

/** The 24-megapixel photo with its Exif saying `orientation`, made once per orientation. */
const QByteArray& photo(int orientation)
{
    static const QByteArray plain
        = testing_support::encodeJpeg(testing_support::photoLikeImage(kWidth, kHeight), {.quality = 90});
    static std::map<int, QByteArray> made;
    auto [at, fresh] = made.try_emplace(orientation);
    if (fresh)
        at->second = testing_support::withExif(plain, cameraExif(orientation));
    return at->second;
}

void BM_ReadOrientation(benchmark::State& state)
{
    const QByteArray& bytes = photo(6);
    for (auto _ : state)
        benchmark::DoNotOptimize(store::exifOrientation(platform::asBytes(bytes)));
    state.counters["exif_bytes"] = double(store::jpegExifData(platform::asBytes(bytes)).size());
    if (store::exifOrientation(platform::asBytes(bytes)) != 6)
        state.SkipWithError("the orientation was not read");
}
BENCHMARK(BM_ReadOrientation)->Unit(benchmark::kMicrosecond);

/** The same tag through Exiv2's image interface on the whole file in memory. */
void BM_Exiv2OpenWholeFile(benchmark::State& state)
{
    const QByteArray& bytes = photo(6);
    for (auto _ : state) {
        const auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(bytes.constData()), static_cast<long>(bytes.size()));
        image->readMetadata();
        benchmark::DoNotOptimize(image->exifData()["Exif.Image.Orientation"].toLong());
    }
}
BENCHMARK(BM_Exiv2OpenWholeFile)->Unit(benchmark::kMicrosecond);

/** Loading and drawing the photo as its orientation (the argument) says: 1 upright, 3 half round, 6 a quarter. */
void BM_LoadAndDrawTurned(benchmark::State& state)
{
    const QByteArray& bytes = photo(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto picture = store::loadJpeg(bytes);
        benchmark::DoNotOptimize(picture->image().constBits());
    }
}
BENCHMARK(BM_LoadAndDrawTurned)->Arg(1)->Arg(3)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
