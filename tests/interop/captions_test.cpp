#include "interop/captions.h"
#include "platform/cp1250.h"
#include "store/described_file.h"
#include "store/picture_transaction.h"
#include "support/bmp_builder.h"
#include "support/error_of.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

/** Runs exiftool, the independent reader and writer the captions are checked against; gives its output. */
QByteArray exiftool(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"), args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        ADD_FAILURE() << "exiftool " << args.join(u' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

const QString kPolish = QStringLiteral("Zażółć gęślą jaźń,\nwidok na Śnieżkę");

struct RoundTrip {
    const char* name;
    bool bmp = false;
    bool embed = false;
    QString text = kPolish;
    bool otherSidecarProperties = false;
};

void PrintTo(const RoundTrip& trip, std::ostream* out)
{
    *out << trip.name;
}

const RoundTrip kRoundTrips[] = {
    {.name = "SidecarOfJpeg"},
    {.name = "SidecarOfBmp", .bmp = true},
    {.name = "SidecarKeepsItsOtherProperties", .otherSidecarProperties = true},
    {.name = "EmbeddedInJpeg", .embed = true},
    {.name = "EmbeddedAsciiAlsoInExif", .embed = true, .text = QStringLiteral("Plain text\nline two")},
    {.name = "EmbedIntoBmpWritesTheSidecar", .bmp = true, .embed = true},
    {.name = "EmptyDescriptionIsNotShared", .text = QString()},
};

class CaptionRoundTrip : public testing::TestWithParam<RoundTrip> { };

} // namespace

TEST_P(CaptionRoundTrip, WhatWeShareReadsTheSameElsewhereAndComesBack)
{
    const RoundTrip& c = GetParam();
    TempDir dir;
    const QByteArray picture = c.bmp ? testing_support::solidBmp(4, 4, qRgb(1, 2, 3))
                                     : testing_support::encodeJpeg(testing_support::quadrantImage(16, 8));
    const QByteArray stored = store::fieldTextToDescription(c.text);
    const QString file
        = dir.write(c.bmp ? QStringLiteral("p.bmp") : QStringLiteral("p.jpg"), picture + "@||@" + stored);
    const QString sidecar = file + QStringLiteral(".xmp");
    if (c.otherSidecarProperties)
        exiftool({QStringLiteral("-q"), QStringLiteral("-o"), sidecar, QStringLiteral("-XMP-dc:Title=Tytuł"), file});

    const interop::ExportOutcome outcome = interop::exportCaption(platform::FilePath::fromText(file), c.embed);
    if (c.text.isEmpty()) {
        EXPECT_EQ(outcome, interop::ExportOutcome::NoDescription);
        EXPECT_FALSE(QFileInfo::exists(sidecar));
        EXPECT_EQ(
            interop::importCaption(platform::FilePath::fromText(file), {}).outcome, interop::ImportOutcome::NoCaption);
        return;
    }
    const bool inside = c.embed && !c.bmp;
    const QString carrier = inside ? file : sidecar;
    EXPECT_EQ(QFileInfo::exists(sidecar), !inside || c.otherSidecarProperties);
    EXPECT_EQ(exiftool({QStringLiteral("-b"), QStringLiteral("-XMP-dc:Description"), carrier}), c.text.toUtf8());
    if (c.otherSidecarProperties) {
        EXPECT_EQ(exiftool({QStringLiteral("-b"), QStringLiteral("-XMP-dc:Title"), sidecar}), "Tytuł");
    }
    const bool ascii = c.text.toLatin1() == c.text.toUtf8();
    EXPECT_EQ(exiftool({QStringLiteral("-b"), QStringLiteral("-EXIF:ImageDescription"), file}),
        inside && ascii ? c.text.toUtf8() : QByteArray());
    const QByteArray exported = fileBytes(file);
    EXPECT_TRUE(exported.endsWith("@||@" + stored)); // the block behind the marker kept exactly
    EXPECT_EQ(store::blockLengthOf(exported), 4 + stored.size());
    if (!inside) {
        EXPECT_EQ(exported, picture + "@||@" + stored);
    }

    // Back: the file that lost its description gets it again, with CR LF line breaks in Windows-1250.
    store::PictureTransaction(platform::FilePath::fromText(file)).stripDescriptionBlock();
    const interop::ImportResult imported = interop::importCaption(platform::FilePath::fromText(file), {});
    EXPECT_EQ(imported.outcome, interop::ImportOutcome::Imported);
    EXPECT_EQ(imported.source,
        inside ? QStringLiteral("XMP") : QStringLiteral("sidecar p.") + (c.bmp ? "bmp" : "jpg") + ".xmp");
    EXPECT_EQ(fileBytes(file), exported);
    EXPECT_EQ(
        interop::importCaption(platform::FilePath::fromText(file), {}).outcome, interop::ImportOutcome::AlreadyThere);
    store::PictureTransaction(platform::FilePath::fromText(file)).writeDescription("inny");
    EXPECT_EQ(interop::importCaption(platform::FilePath::fromText(file), {}).outcome, interop::ImportOutcome::Kept);
    EXPECT_EQ(interop::importCaption(platform::FilePath::fromText(file), {.force = true}).outcome,
        interop::ImportOutcome::Imported);
    EXPECT_EQ(fileBytes(file), exported);
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionRoundTrip, testing::ValuesIn(kRoundTrips),
    [](const testing::TestParamInfo<RoundTrip>& param) { return std::string(param.param.name); });

TEST(CaptionImport, TakesWhatAnotherProgramWroteInEachPlace)
{
    struct Case {
        QStringList tags;
        QString source;
        bool sidecar = false;
    };
    const QString t = QStringLiteral("Zażółć gęślą jaźń\nDrugi wiersz: Łódź");
    const Case cases[] = {
        {{QStringLiteral("-XMP-dc:Description=") + t}, QStringLiteral("XMP")},
        {{QStringLiteral("-EXIF:ImageDescription=") + t}, QStringLiteral("Exif")},
        {{QStringLiteral("-IPTC:CodedCharacterSet=UTF8"), QStringLiteral("-IPTC:Caption-Abstract=") + t},
            QStringLiteral("IPTC")},
        {{QStringLiteral("-Comment=") + t}, QStringLiteral("comment")},
        {{QStringLiteral("-XMP-dc:Description=") + t}, QStringLiteral("sidecar p.xmp"), true},
    };
    const QByteArray expected = platform::cp1250::encode(QString(t).replace(u'\n', QStringLiteral("\r\n")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        TempDir dir;
        const QByteArray jpeg = testing_support::encodeJpeg(testing_support::quadrantImage(8, 8));
        const QString file = dir.write(QStringLiteral("p.jpg"), jpeg);
        if (c.sidecar)
            exiftool(
                QStringList {QStringLiteral("-q"), QStringLiteral("-o"), dir.path(QStringLiteral("p.xmp"))} + c.tags
                << file);
        else
            exiftool(QStringList {QStringLiteral("-q"), QStringLiteral("-overwrite_original")} + c.tags << file);
        const QByteArray written = fileBytes(file);
        const interop::ImportResult result = interop::importCaption(platform::FilePath::fromText(file), {});
        EXPECT_EQ(result.outcome, interop::ImportOutcome::Imported);
        EXPECT_EQ(result.source, c.source);
        EXPECT_EQ(fileBytes(file), written + "@||@" + expected);
    }

    // A character Windows-1250 cannot hold: refused, or stored as "?" when asked to.
    TempDir dir;
    const QString file
        = dir.write(QStringLiteral("p.jpg"), testing_support::encodeJpeg(testing_support::quadrantImage(8, 8)));
    exiftool({QStringLiteral("-q"), QStringLiteral("-overwrite_original"), QStringLiteral("-Comment=a☺b"), file});
    const QByteArray before = fileBytes(file);
    EXPECT_EQ(testing_support::errorOf([&] { (void)interop::importCaption(platform::FilePath::fromText(file), {}); }),
        QStringLiteral("Opisu nie zapisano - znaków ☺ nie da się zapisać w stronie kodowej Windows-1250. (comment; "
                       "--lossy stores them as \"?\")"));
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(interop::importCaption(platform::FilePath::fromText(file), {.lossy = true}).replaced, 1);
    EXPECT_EQ(fileBytes(file), before + "@||@a?b");
}

TEST(CaptionExport, EmbeddingNeverLosesAnotherTagOrLeavesAnOlderCaption)
{
    struct Case {
        const char* name;
        QStringList tags;
        QString text;
        const char* refusal; // empty when exported
        QStringList absent; // captions that may not keep an older text, as exiftool names them
    };
    const QString longAscii = QStringLiteral("A caption in plain letters. ").repeated(15);
    const Case cases[] = {
        {"ExifTooLargeForTheNewCaption",
            {QStringLiteral("-Make=Aparat"), QStringLiteral("-UserComment=") + QString(65200, u'x')}, longAscii,
            "its metadata could not be written whole (Exif tag Exif.Photo.UserComment not encoded)", {}},
        {"OlderExifCaption", {QStringLiteral("-Make=Aparat"), QStringLiteral("-EXIF:ImageDescription=Stary opis")},
            kPolish, "", {QStringLiteral("-EXIF:ImageDescription")}},
        {"OlderIptcCaptionInAnotherCharacterSet", {QStringLiteral("-IPTC:Caption-Abstract=Stary opis")}, kPolish, "",
            {QStringLiteral("-IPTC:Caption-Abstract")}},
        {"OlderIptcCaptionInUtf8",
            {QStringLiteral("-IPTC:CodedCharacterSet=UTF8"), QStringLiteral("-IPTC:Caption-Abstract=Stary opis")},
            kPolish, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString file
            = dir.write(QStringLiteral("p.jpg"), testing_support::encodeJpeg(testing_support::quadrantImage(16, 8)));
        exiftool(QStringList {QStringLiteral("-q"), QStringLiteral("-overwrite_original")} + c.tags << file);
        const QByteArray stored = store::fieldTextToDescription(c.text);
        {
            QFile append(file);
            ASSERT_TRUE(append.open(QIODevice::Append));
            append.write("@||@" + stored);
        }
        const QByteArray before = fileBytes(file);
        const QByteArray tagsBefore = exiftool({QStringLiteral("-s"), QStringLiteral("-Make"), file});
        const QString error
            = testing_support::errorOf([&] { interop::exportCaption(platform::FilePath::fromText(file), true); });
        if (*c.refusal) {
            EXPECT_TRUE(
                error.endsWith(QString::fromUtf8(c.refusal) + QStringLiteral(", so the file is left as it was")))
                << error.toStdString();
            EXPECT_EQ(fileBytes(file), before);
            continue;
        }
        EXPECT_EQ(error, QString());
        EXPECT_EQ(exiftool({QStringLiteral("-b"), QStringLiteral("-XMP-dc:Description"), file}), c.text.toUtf8());
        EXPECT_EQ(exiftool({QStringLiteral("-s"), QStringLiteral("-Make"), file}), tagsBefore);
        for (const QString& caption : c.absent)
            EXPECT_EQ(exiftool({QStringLiteral("-b"), caption, file}), QByteArray()) << caption.toStdString();
        if (c.tags.contains(QStringLiteral("-IPTC:CodedCharacterSet=UTF8"))) {
            EXPECT_EQ(
                exiftool({QStringLiteral("-b"), QStringLiteral("-IPTC:Caption-Abstract"), file}), c.text.toUtf8());
        }
        EXPECT_TRUE(fileBytes(file).endsWith("@||@" + stored));
    }

    // Two XMP packets: only the first would be updated, so the file is refused.
    TempDir dir;
    const QString file
        = dir.write(QStringLiteral("x.jpg"), testing_support::encodeJpeg(testing_support::quadrantImage(16, 8)));
    exiftool(
        {QStringLiteral("-q"), QStringLiteral("-overwrite_original"), QStringLiteral("-XMP-dc:Title=Tytuł"), file});
    QByteArray twice = fileBytes(file);
    const qsizetype app1 = twice.indexOf("http://ns.adobe.com/xap/1.0/") - 4;
    const int length = (quint8(twice[app1 + 2]) << 8) | quint8(twice[app1 + 3]);
    twice.insert(app1, twice.mid(app1, length + 2));
    dir.write(QStringLiteral("x.jpg"), twice + "@||@opis");
    EXPECT_EQ(testing_support::errorOf([&] { interop::exportCaption(platform::FilePath::fromText(file), true); }),
        QStringLiteral("x.jpg holds more than one XMP packet, and only the first would be updated"));
    EXPECT_EQ(fileBytes(file), twice + "@||@opis");
}
