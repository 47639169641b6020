// Writes the data set of the phrase search's speed comparison (scripts/search-speed.sh): COUNT described JPEG
// photographs of about 2.4 MB each, noise encoded at quality 90, each with a Polish description in Windows-1250;
// one description in twenty ends with PHRASE, so the phrase stands at the end of those files.
// Usage: make_search_corpus DIR COUNT PHRASE
#include "platform/cp1250.h"
#include "support/jpeg_builder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <cstdio>
#include <vector>

namespace {

/** A photograph-sized picture of noise, which JPEG cannot compress much. */
QByteArray noisePhoto(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(1920, 1400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = random.generate() | 0xFF000000u;
    }
    return testing_support::encodeJpeg(image);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "Usage: make_search_corpus DIR COUNT PHRASE\n");
        return 2;
    }
    const QString directory = QFile::decodeName(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    const QString phrase = QString::fromUtf8(argv[3]);
    if (!QDir().mkpath(directory) || count <= 0)
        return 2;
    // A few distinct photographs are enough: the page cache keeps every file's bytes apart anyway.
    std::vector<QByteArray> photos;
    for (quint32 seed = 1; seed <= 8; ++seed)
        photos.push_back(noisePhoto(seed));
    for (int i = 0; i < count; ++i) {
        QString description = QStringLiteral("Wycieczka nr %1: dzień w górach, żółte kwiaty, zażółć gęślą jaźń.\r\n"
                                             "Zdjęcie zrobione o świcie przy schronisku.")
                                  .arg(i);
        if (i % 20 == 7)
            description += QStringLiteral(" Widok na ") + phrase;
        QFile file(QDir(directory).filePath(QStringLiteral("foto%1.jpg").arg(i, 4, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly)
            || file.write(
                   photos[static_cast<std::size_t>(i) % photos.size()] + "@||@" + platform::cp1250::encode(description))
                < 0)
            return 1;
    }
    std::printf("%d files of about %lld bytes in %s\n", count, static_cast<long long>(photos[0].size()), argv[1]);
    return 0;
}
