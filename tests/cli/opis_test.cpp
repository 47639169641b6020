#include "support/bmp_builder.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sys/resource.h>

#include <sys/stat.h>
#include <unistd.h>

using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

/**
 * Runs the tool; `fileSizeLimit` (bytes) bounds the files it may write, as `ulimit -f` does. `unprivileged` runs it
 * as "nobody" when the tests run as the superuser, whom permission bits do not stop.
 */
Result opis(const QStringList& args, rlim_t fileSizeLimit = RLIM_INFINITY, bool unprivileged = false)
{
    QProcess process;
    process.setChildProcessModifier([fileSizeLimit, unprivileged] {
        if (fileSizeLimit != RLIM_INFINITY) {
            const rlimit limit {fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
    });
    process.start(QStringLiteral(ZELKAVIO_OPIS_PATH), args);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

/** Whether "nobody" may reach the tool: every folder above it must let others through (mktemp -d's do not). */
bool othersCanRunTheTool()
{
    QByteArray path = QByteArrayLiteral(ZELKAVIO_OPIS_PATH);
    while ((path = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 0))).size() > 0) {
        struct stat st { };
        if (::stat(path.constData(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
    }
    return true;
}

const QByteArray& jpeg()
{
    static const QByteArray bytes = testing_support::encodeJpeg(testing_support::quadrantImage(20, 10));
    return bytes;
}

class Opis : public testing::Test {
protected:
    QString picture(const QByteArray& bytes = jpeg(), const QString& name = QStringLiteral("p.jpg"))
    {
        return m_dir.write(name, bytes);
    }

    TempDir m_dir;
};

} // namespace

TEST_F(Opis, HelpListsEveryCommand)
{
    const Result r = opis({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command : {"info", "show", "--raw", "length", "write", "--text", "--text-file", "--raw-file",
             "strip", "render", "search", "--match-case", "--threads", "dump", "--recursive", "--json", "restore",
             "--dry-run", "--force", "export-xmp", "--embed", "import-xmp", "--lossy"})
        EXPECT_TRUE(r.out.contains(command)) << command;
}

TEST_F(Opis, WrongUsageExitsWithTwoAndSaysSo)
{
    const QString file = picture();
    const QList<QStringList> lines = {
        {},
        {QStringLiteral("frobnicate"), file},
        {QStringLiteral("info")},
        {QStringLiteral("info"), file, file},
        {QStringLiteral("length"), file, QStringLiteral("--raw")},
        {QStringLiteral("show"), file, QStringLiteral("--bogus")},
        {QStringLiteral("write"), file},
        {QStringLiteral("write"), file, QStringLiteral("--text")},
        {QStringLiteral("write"), file, QStringLiteral("--text"), QStringLiteral("a"), QStringLiteral("--raw-file"),
            file},
        {QStringLiteral("render"), file},
        {QStringLiteral("search"), QStringLiteral("x")},
        {QStringLiteral("search"), QStringLiteral("x"), m_dir.path({}), QStringLiteral("--raw")},
        {QStringLiteral("search"), QStringLiteral("x"), m_dir.path({}), QStringLiteral("--threads"),
            QStringLiteral("0")},
        {QStringLiteral("dump")},
        {QStringLiteral("dump"), m_dir.path({}), QStringLiteral("--force")},
        {QStringLiteral("restore"), file},
        {QStringLiteral("restore"), file, m_dir.path({}), QStringLiteral("--json")},
        {QStringLiteral("export-xmp"), QStringLiteral("--lossy"), file},
        {QStringLiteral("import-xmp")},
    };
    for (const QStringList& line : lines) {
        const Result r = opis(line);
        EXPECT_EQ(r.exitCode, 2) << line.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("zelkavio-opis: ")) << r.err.toStdString();
    }
    EXPECT_EQ(fileBytes(file), jpeg());
}

TEST_F(Opis, InfoDescribesTheJpegAndItsBlock)
{
    const QString file = picture(jpeg() + "@||@abc");
    const Result r = opis({QStringLiteral("info"), file});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out, "format: jpeg\nwidth: 20\nheight: 10\nblock-length: 7\ngrey: no\nprogressive: no\norientation: 1\n");

    const QString grey = picture(
        testing_support::encodeJpeg(testing_support::quadrantImage(4, 4), {.progressive = true, .grey = true}),
        QStringLiteral("g.JPEG"));
    EXPECT_EQ(opis({QStringLiteral("info"), grey}).out,
        "format: jpeg\nwidth: 4\nheight: 4\nblock-length: 0\ngrey: yes\nprogressive: yes\norientation: 1\n");
}

TEST_F(Opis, LengthTellsNoDescriptionFromAnEmptyOne)
{
    EXPECT_EQ(opis({QStringLiteral("length"), picture()}).out, "0\n");
    EXPECT_EQ(opis({QStringLiteral("length"), picture(jpeg() + "@||@")}).out, "4\n");
    EXPECT_EQ(opis({QStringLiteral("show"), picture()}).out, "");
}

TEST_F(Opis, WriteTextStoresWindows1250WithCrLfAndShowGivesItBack)
{
    const QString file = picture(jpeg() + "@||@old description");
    const QString text = QStringLiteral("Zażółć gęślą\njaźń\r\nkoniec");
    const Result w = opis({QStringLiteral("write"), file, QStringLiteral("--text"), text});
    ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
    EXPECT_EQ(w.err, "");
    const QByteArray stored("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9\r\nja\x9F\xF1\r\nkoniec");
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@" + stored); // the JPEG's bytes kept byte for byte

    // As text it ends with a line break; raw it is exactly as stored.
    EXPECT_EQ(opis({QStringLiteral("show"), file}).out, QStringLiteral("Zażółć gęślą\r\njaźń\r\nkoniec\n").toUtf8());
    EXPECT_EQ(opis({QStringLiteral("show"), file, QStringLiteral("--raw")}).out, stored);
    EXPECT_EQ(opis({QStringLiteral("length"), file}).out, QByteArray::number(4 + stored.size()) + "\n");
}

TEST_F(Opis, WriteRefusesCharactersWindows1250CannotHoldUnlessLossy)
{
    const QString file = picture(jpeg() + "@||@stary");
    const QString text = QStringLiteral("a€b☺c ☺");
    const Result refused = opis({QStringLiteral("write"), file, QStringLiteral("--text"), text});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral("zelkavio-opis: Opisu nie zapisano - znaków ☺ nie").toUtf8()));
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@stary");
    const Result lossy
        = opis({QStringLiteral("write"), file, QStringLiteral("--lossy"), QStringLiteral("--text"), text});
    EXPECT_EQ(lossy.exitCode, 0);
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@a\x80" + "b?c ?");
    EXPECT_TRUE(lossy.err.contains("1 character")) << lossy.err.toStdString();
}

TEST_F(Opis, WriteFromFiles)
{
    const QString file = picture();
    const QByteArray raw("line\nwith lone LF, a NUL \0 and @||@ inside", 42);
    const Result r = opis(
        {QStringLiteral("write"), file, QStringLiteral("--raw-file"), m_dir.write(QStringLiteral("raw.bin"), raw)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@" + raw);
    EXPECT_EQ(opis({QStringLiteral("show"), file, QStringLiteral("--raw")}).out, raw);

    const QString textFile = m_dir.write(QStringLiteral("t.txt"), "\xEF\xBB\xBFpierwsza\nostatnia\n");
    EXPECT_EQ(opis({QStringLiteral("write"), file, QStringLiteral("--text-file"), textFile}).exitCode, 0);
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@pierwsza\r\nostatnia\r\n");
}

TEST_F(Opis, FailuresExitWithOneAndLeaveTheFileAlone)
{
    const QByteArray original = jpeg() + "@||@keep";
    const QString file = picture(original);

    const Result badText = opis({QStringLiteral("write"), file, QStringLiteral("--text-file"),
        m_dir.write(QStringLiteral("bad.txt"), "not \xFF\xFE utf-8")});
    EXPECT_EQ(badText.exitCode, 1);
    EXPECT_EQ(badText.err, "zelkavio-opis: the description text is not valid UTF-8\n");

    const Result missingText
        = opis({QStringLiteral("write"), file, QStringLiteral("--raw-file"), m_dir.path(QStringLiteral("none"))});
    EXPECT_EQ(missingText.exitCode, 1);
    EXPECT_TRUE(missingText.err.startsWith("zelkavio-opis: I/O error 2 ")) << missingText.err.toStdString();

    ::chmod(QFile::encodeName(file).constData(), 0444);
    EXPECT_EQ(opis({QStringLiteral("write"), file, QStringLiteral("--text"), QStringLiteral("x")}).exitCode, 1);
    EXPECT_EQ(opis({QStringLiteral("strip"), file}).exitCode, 1);
    EXPECT_EQ(fileBytes(file), original);

    const Result missing = opis({QStringLiteral("info"), m_dir.path(QStringLiteral("missing.jpg"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.startsWith("zelkavio-opis: I/O error 2 ")) << missing.err.toStdString();

    const Result invalid = opis({QStringLiteral("info"), picture("garbage", QStringLiteral("x.jpg"))});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_TRUE(invalid.err.startsWith("zelkavio-opis: JPEG error #")) << invalid.err.toStdString();
}

TEST_F(Opis, StripDeletesTheBlockButNeverCutsThePicture)
{
    const QString file = picture(jpeg() + "@||@delete me");
    EXPECT_EQ(opis({QStringLiteral("strip"), file}).exitCode, 0);
    EXPECT_EQ(fileBytes(file), jpeg());
    EXPECT_EQ(opis({QStringLiteral("strip"), file}).exitCode, 0); // nothing left to strip
    EXPECT_EQ(fileBytes(file), jpeg());

    const QByteArray markerInPicture = testing_support::withComment(jpeg(), "@||@");
    const QString inside = picture(markerInPicture, QStringLiteral("inside.jpg"));
    const Result r = opis({QStringLiteral("strip"), inside});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("zelkavio-opis: Nie mogę skasować opisu pliku inside.jpg")) << r.err.toStdString();
    // The refusal fits the command: a write cannot store a description there either.
    const Result w = opis({QStringLiteral("write"), inside, QStringLiteral("--text"), QStringLiteral("opis")});
    EXPECT_EQ(w.exitCode, 1);
    EXPECT_TRUE(w.err.startsWith("zelkavio-opis: Nie mogę zapisać opisu w pliku inside.jpg")) << w.err.toStdString();
    EXPECT_EQ(fileBytes(inside), markerInPicture);
}

TEST_F(Opis, RenderDrawsThePictureIntoAPng)
{
    const QString file = picture(jpeg() + "@||@opis");
    const QString png = m_dir.path(QStringLiteral("out.png"));
    const Result r = opis({QStringLiteral("render"), file, png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QImage image;
    ASSERT_TRUE(image.load(png, "PNG"));
    EXPECT_EQ(image.size(), QSize(20, 10));
    EXPECT_TRUE(testing_support::nearColour(image.pixel(2, 2), Qt::red));
    EXPECT_TRUE(testing_support::nearColour(image.pixel(17, 8), Qt::white));

    EXPECT_EQ(opis({QStringLiteral("render"), file, m_dir.path(QStringLiteral("no/such/dir/out.png"))}).exitCode, 1);
}

TEST_F(Opis, APhotoTakenTurnedIsDescribedAsStoredAndRenderedUpright)
{
    const QString file = picture(testing_support::withExif(jpeg(), testing_support::exifOrientationTiff(6)));
    EXPECT_EQ(opis({QStringLiteral("info"), file}).out,
        "format: jpeg\nwidth: 20\nheight: 10\nblock-length: 0\ngrey: no\nprogressive: no\norientation: 6\n");
    const QString png = m_dir.path(QStringLiteral("turned.png"));
    ASSERT_EQ(opis({QStringLiteral("render"), file, png}).exitCode, 0);
    QImage image;
    ASSERT_TRUE(image.load(png, "PNG"));
    EXPECT_EQ(image.size(), QSize(10, 20)); // turned clockwise: blue top left, green bottom right
    EXPECT_TRUE(testing_support::nearColour(image.pixel(2, 2), Qt::blue));
    EXPECT_TRUE(testing_support::nearColour(image.pixel(8, 18), Qt::green));
}

TEST_F(Opis, RenderAndInfoCoverBitmapsAndMetafiles)
{
    const QString bmp = picture(testing_support::solidBmp(6, 3, qRgb(0, 0, 255)), QStringLiteral("b.bmp"));
    EXPECT_EQ(opis({QStringLiteral("info"), bmp}).out, "format: bmp\nwidth: 6\nheight: 3\nblock-length: 0\n");

    testing_support::WmfBuilder builder;
    builder.window(0, 0, 200, 100).brush(0, Qt::red).select(0).rectangle(-10, -10, 210, 110);
    const QString wmf = picture(builder.placeable(0, 0, 200, 100, 1440) + "@||@opis", QStringLiteral("w.wmf"));
    EXPECT_EQ(opis({QStringLiteral("info"), wmf}).out, "format: wmf\nwidth: 13\nheight: 7\nblock-length: 8\n");

    for (const QString& file : {bmp, wmf}) {
        const QString png = file + QStringLiteral(".png");
        const Result r = opis({QStringLiteral("render"), file, png});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QImage image;
        ASSERT_TRUE(image.load(png, "PNG"));
        EXPECT_EQ(image.pixel(2, 1) | 0xFF000000, file == bmp ? qRgb(0, 0, 255) : qRgb(255, 0, 0))
            << file.toStdString();
    }
}

TEST_F(Opis, ShowEndsTextWithALineBreakOnlyWhenItHasNone)
{
    EXPECT_EQ(opis({QStringLiteral("show"), picture(jpeg() + "@||@raz\r\n")}).out, "raz\r\n");
    EXPECT_EQ(opis({QStringLiteral("show"), picture(jpeg() + "@||@")}).out, "");
    EXPECT_EQ(opis({QStringLiteral("show"), picture(jpeg() + "@||@raz"), QStringLiteral("--raw")}).out, "raz");
}

TEST_F(Opis, SearchPrintsThePicturesHoldingThePhraseInListOrder)
{
    picture(jpeg() + "@||@Nad Morskim Okiem", QStringLiteral("c.jpg"));
    picture(jpeg() + "@||@morskim okiem", QStringLiteral("B.jpg"));
    picture(jpeg() + "@||@las", QStringLiteral("a.jpg"));
    picture(jpeg() + "@||@Morskim\r\nOkiem", QStringLiteral("d.jpg"));
    picture(jpeg()
            + "@||@\xaf"
              "a\xbf",
        QStringLiteral("\u017b\u00f3\u0142w.jpg"));
    m_dir.write(QStringLiteral("notes.txt"), "Morskim Okiem"); // not a picture: never listed
    const QString dir = m_dir.path({});
    struct Row {
        QStringList args;
        int exitCode;
        QByteArray out;
    };
    const Row rows[] = {
        {{QStringLiteral("MORSKIM OKIEM"), dir}, 0, "B.jpg\nc.jpg\n"},
        {{QStringLiteral("--match-case"), QStringLiteral("Morskim Okiem"), dir}, 0, "c.jpg\n"},
        {{QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("okiem"), dir}, 0, "B.jpg\nc.jpg\nd.jpg\n"},
        {{QStringLiteral("\u017ba\u017c"), dir}, 0, "\xc5\xbb\xc3\xb3\xc5\x82w.jpg\n"},
        {{QStringLiteral("\u017bA\u017c"), dir}, 0, "\xc5\xbb\xc3\xb3\xc5\x82w.jpg\n"}, // "a" folds...
        {{QStringLiteral("\u017cA\u017c"), dir}, 1, ""}, // ...Polish letters never do
        {{QStringLiteral("Giewont"), dir}, 1, ""},
        {{QStringLiteral("\u017b\u20ac"), dir}, 1, ""}, // "\u20ac" has a Windows-1250 form...
        {{QStringLiteral("\u017b\U0001F422"), dir}, 1, ""}, // ...a turtle has none: nothing, not "?"
        {{QStringLiteral("--"), QStringLiteral("--match-case"), dir}, 1, ""},
    };
    for (const Row& row : rows) {
        const Result r = opis(QStringList {QStringLiteral("search")} + row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.args.join(u' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, row.out) << row.args.join(u' ').toStdString();
    }
    const Result missing = opis({QStringLiteral("search"), QStringLiteral("x"), m_dir.path(QStringLiteral("gone"))});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith("zelkavio-opis: ")) << missing.err.toStdString();
}

TEST_F(Opis, SearchPrintsNamesThatAreNotUtf8AsTheirBytes)
{
    m_dir.writeNamed("\277aba.jpg", "JFIF@||@stary zamek");
    m_dir.writeNamed("ok.jpg", "JFIF@||@stary zamek");
    const Result r = opis({QStringLiteral("search"), QStringLiteral("zamek"), m_dir.path({})});
    EXPECT_EQ(r.out.split('\n'), (QByteArrayList {"ok.jpg", "\277aba.jpg", ""})) << r.err.toStdString();
}

TEST_F(Opis, SearchPrintsTheHitsListedBeforeAFileItCannotReadThenFails)
{
    // A picture name linked to a kernel attribute that may only be written: opening it to read fails even for the
    // superuser, whom permission bits on ordinary files do not stop.
    QString writeOnly;
    for (const char* candidate :
        {"/sys/bus/pci/rescan", "/sys/bus/cpu/drivers_probe", "/sys/bus/platform/drivers_probe"}) {
        if (QFileInfo(QString::fromLatin1(candidate)).isFile()) {
            writeOnly = QString::fromLatin1(candidate);
            break;
        }
    }
    if (writeOnly.isEmpty())
        GTEST_SKIP() << "no write-only kernel attribute to link to";
    for (const char* name : {"a.jpg", "B.jpg", "c.jpg", "d.jpg", "E.jpg", "f.jpg"})
        picture(jpeg() + "@||@Giewont", QString::fromLatin1(name));
    ASSERT_TRUE(QFile::link(writeOnly, m_dir.path(QStringLiteral("C2.jpg"))));
    for (const char* threads : {"1", "2"}) {
        const Result r = opis({QStringLiteral("search"), QStringLiteral("--threads"), QString::fromLatin1(threads),
            QStringLiteral("Giewont"), m_dir.path({})});
        EXPECT_EQ(r.exitCode, 2) << threads;
        EXPECT_EQ(r.out, "a.jpg\nB.jpg\nc.jpg\n") << threads;
        EXPECT_TRUE(r.err.startsWith("zelkavio-opis: I/O error 13 ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("C2.jpg")) << r.err.toStdString();
    }
}

TEST_F(Opis, AWriteThatFailsLeavesTheOldDescriptionAndNoTemporaryFile)
{
    const QByteArray original = jpeg() + "@||@" + QByteArray(856, 'o');
    const QString file = picture(original);
    const Result tooLarge = opis(
        {QStringLiteral("write"), file, QStringLiteral("--text"), QString(10000, u'n')}, rlim_t(original.size() + 100));
    EXPECT_EQ(tooLarge.exitCode, 1);
    EXPECT_TRUE(tooLarge.err.startsWith("zelkavio-opis: I/O error 27 ")) << tooLarge.err.toStdString();
    EXPECT_EQ(fileBytes(file), original);
    EXPECT_EQ(QDir(m_dir.path({})).entryList(QDir::Files | QDir::Hidden), QStringList {QStringLiteral("p.jpg")});

    // A picture that may be written in a folder that may not: nothing is cut before the write fails. The superuser
    // passes every permission, so the tool runs as "nobody", who must be able to reach it.
    if (::geteuid() == 0 && !othersCanRunTheTool()) {
        std::cout << "[   NOTE   ] the read-only folder case needs a build folder others may enter; not run\n";
    } else {
        const QByteArray folder = QFile::encodeName(m_dir.path({}));
        ::chmod(QFile::encodeName(file).constData(), 0666);
        ::chmod(folder.constData(), 0555);
        const Result readOnlyFolder = opis(
            {QStringLiteral("write"), file, QStringLiteral("--text"), QStringLiteral("nowy")}, RLIM_INFINITY, true);
        ::chmod(folder.constData(), 0700);
        EXPECT_EQ(readOnlyFolder.exitCode, 1);
        EXPECT_TRUE(readOnlyFolder.err.startsWith("zelkavio-opis: I/O error 13 ")) << readOnlyFolder.err.toStdString();
    }
    EXPECT_EQ(fileBytes(file), original);

    // Written, the description replaces the old block in one step, after the bytes before the first marker.
    EXPECT_EQ(opis({QStringLiteral("write"), file, QStringLiteral("--text"), QStringLiteral("nowy")}).exitCode, 0);
    EXPECT_EQ(fileBytes(file), jpeg() + "@||@nowy");
}

TEST_F(Opis, DescriptionsBeyondTheViewerReportABadFileAndGoOnWithTheRest)
{
    const QByteArray good = jpeg() + "@||@dobry";
    // An Exif segment whose first directory lies far beyond its end.
    const QByteArray exif("\xFF\xE1\x00\x10"
                          "Exif\0\0II*\0\xF0\xFF\xFF\x0F",
        18);
    const QByteArray damaged = jpeg().left(2) + exif + jpeg().mid(2) + "@||@zepsuty";
    // An XMP segment whose XML breaks off: Exiv2 reads it as no XMP at all.
    const QByteArray xmp
        = QByteArray("http://ns.adobe.com/xap/1.0/", 29) + "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF";
    const QByteArray app1 = QByteArray("\xFF\xE1\0", 3) + char(xmp.size() + 2) + xmp;
    const QByteArray brokenXmp = jpeg().left(2) + app1 + jpeg().mid(2) + "@||@xmp";
    const QString d = picture(brokenXmp, QStringLiteral("d.jpg"));
    const QString a = picture(good, QStringLiteral("a.jpg"));
    const QString b = picture(damaged, QStringLiteral("b.jpg"));
    picture(good, QStringLiteral("c.jpg"));
    const QString notXml = m_dir.write(QStringLiteral("c.jpg.xmp"), "this is not XML");
    const QByteArray dump = opis({QStringLiteral("dump"), m_dir.path({})}).out;

    Result r = opis({QStringLiteral("export-xmp"), m_dir.path({})});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(
        r.err, ("zelkavio-opis: " + m_dir.path(QStringLiteral("c.jpg")) + ": c.jpg.xmp is not an XMP file\n").toUtf8());
    EXPECT_EQ(r.out, "exported 3, skipped 0 without a description, failed 1\n");
    EXPECT_EQ(fileBytes(notXml), "this is not XML");

    r = opis({QStringLiteral("export-xmp"), QStringLiteral("--embed"), b, a, d});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(("zelkavio-opis: " + b + ": the metadata of b.jpg is damaged (").toUtf8()))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(("zelkavio-opis: " + d + ": the metadata of d.jpg is damaged (").toUtf8()));
    EXPECT_EQ(r.out, "exported 1, skipped 0 without a description, failed 2\n");
    EXPECT_EQ(fileBytes(b), damaged);
    EXPECT_EQ(fileBytes(d), brokenXmp);
    EXPECT_TRUE(fileBytes(a).endsWith("@||@dobry"));

    // The embedded caption changed a's picture bytes: its record now matches c.jpg, which holds a's old picture
    // bytes, by them, and only its path finds it when asked to.
    EXPECT_EQ(opis({QStringLiteral("strip"), a}).exitCode, 0);
    const QString dumpFile = m_dir.write(QStringLiteral("dump.tsv"), QByteArray(dump).replace("zepsuty", "zep\\qsuty"));
    r = opis({QStringLiteral("restore"), dumpFile, m_dir.path({})});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith("ambiguous: a.jpg (now c.jpg): the records of lines 3, 5 all match c.jpg\n"))
        << r.out.toStdString();
    EXPECT_FALSE(fileBytes(a).endsWith("@||@dobry"));
    r = opis({QStringLiteral("restore"), QStringLiteral("--by-path"), dumpFile, m_dir.path({})});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
        "restored: a.jpg\nfailed: line 4: the description holds an unknown escape \\q\n"
        "restored 1, already there 2, conflicting 0, ambiguous 0, not found 0, picture changed 0, failed 1\n");
    EXPECT_TRUE(fileBytes(a).endsWith("@||@dobry"));
}

namespace {

/** Runs `script` in bash in `folder`, with $OPIS the tool: names reach the tool with their bytes as they are. */
Result shell(const QString& folder, const QString& script)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OPIS"), QStringLiteral(ZELKAVIO_OPIS_PATH));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    Result result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
    }
    return result;
}

} // namespace

TEST_F(Opis, EveryCommandTakesAFolderWhoseNameIsNotUtf8)
{
    m_dir.writeNamed("\xb3\xb9ka/p.jpg", jpeg() + "@||@opis");
    const struct {
        const char* script;
        const char* out;
    } steps[] = {
        {"$OPIS dump $'\\xb3\\xb9ka' > D.tsv && $OPIS strip $'\\xb3\\xb9ka/p.jpg'", ""},
        {"$OPIS restore D.tsv $'\\xb3\\xb9ka'",
            "restored: p.jpg\nrestored 1, already there 0, conflicting 0, ambiguous 0, not found 0, picture changed 0, "
            "failed 0\n"},
        {"$OPIS export-xmp $'\\xb3\\xb9ka' && $OPIS strip $'\\xb3\\xb9ka/p.jpg'",
            "exported 1, skipped 0 without a description, failed 0\n"},
        {"$OPIS import-xmp $'\\xb3\\xb9ka' | tail -n 1",
            "imported 1, already there 0, kept 0, no caption 0, failed 0\n"},
    };
    for (const auto& step : steps) {
        const Result r = shell(m_dir.path({}), QString::fromLatin1(step.script));
        EXPECT_EQ(r.exitCode, 0) << step.script << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, step.out) << step.script;
    }
    EXPECT_EQ(shell(m_dir.path({}), QStringLiteral("$OPIS show --raw $'\\xb3\\xb9ka/p.jpg'")).out, "opis");
}

TEST_F(Opis, FolderCommandsNeverReadOrWriteThroughALinkOutOfTheFolder)
{
    TempDir outside;
    const QString photos = m_dir.path(QStringLiteral("photos"));
    QDir().mkpath(photos);
    const QString victim = outside.path(QStringLiteral("new.conf"));
    const QString secret = outside.write(QStringLiteral("secret.xmp"), "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>");
    const QString elsewhere = outside.write(QStringLiteral("p.jpg"), jpeg());
    m_dir.write(QStringLiteral("photos/b.jpg"), jpeg() + "@||@opis b");
    ASSERT_TRUE(QFile::link(victim, photos + QStringLiteral("/b.jpg.xmp")));
    ASSERT_TRUE(QFile::link(secret, photos + QStringLiteral("/c.jpg.xmp")));
    m_dir.write(QStringLiteral("photos/c.jpg"), jpeg());
    ASSERT_TRUE(QFile::link(elsewhere, photos + QStringLiteral("/plink.jpg")));
    const QString sidecarRefusal = QStringLiteral("is a symbolic link; a sidecar is never read or written through one");

    Result r = opis({QStringLiteral("export-xmp"), photos});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(("b.jpg.xmp " + sidecarRefusal).toUtf8())) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(victim));

    r = opis({QStringLiteral("import-xmp"), photos});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(("c.jpg.xmp " + sidecarRefusal).toUtf8())) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("plink.jpg: it lies outside")) << r.err.toStdString();
    EXPECT_EQ(fileBytes(elsewhere), jpeg());

    // A dump made while plink.jpg was a picture of the folder's own.
    ASSERT_TRUE(QFile::remove(photos + QStringLiteral("/b.jpg.xmp")));
    ASSERT_TRUE(QFile::remove(photos + QStringLiteral("/plink.jpg")));
    m_dir.write(QStringLiteral("photos/plink.jpg"), jpeg() + "@||@opis");
    const QString dump = m_dir.write(QStringLiteral("d.tsv"), opis({QStringLiteral("dump"), photos}).out);
    ASSERT_TRUE(QFile::remove(photos + QStringLiteral("/plink.jpg")));
    ASSERT_TRUE(QFile::link(elsewhere, photos + QStringLiteral("/plink.jpg")));
    r = opis({QStringLiteral("restore"), dump, photos});
    EXPECT_TRUE(r.out.contains("failed: plink.jpg: it lies outside")) << r.out.toStdString();
    r = opis({QStringLiteral("export-xmp"), QStringLiteral("--embed"), photos});
    EXPECT_TRUE(r.err.contains("plink.jpg: it lies outside")) << r.err.toStdString();
    EXPECT_EQ(fileBytes(elsewhere), jpeg());
}

TEST_F(Opis, RestoreRefusesADumpCutShortUnlessAskedForItsCompleteRecords)
{
    picture(jpeg() + "@||@" + QByteArray(100, 'a'), QStringLiteral("a.jpg"));
    const QString b
        = picture(testing_support::encodeJpeg(testing_support::quadrantImage(8, 8)) + "@||@" + QByteArray(100, 'b'),
            QStringLiteral("b.jpg"));
    const QByteArray whole = opis({QStringLiteral("dump"), m_dir.path({})}).out;
    TempDir dumps;
    const QString cut = dumps.write(QStringLiteral("cut.tsv"), whole.left(whole.size() - 60));
    const QByteArray records = whole.left(whole.lastIndexOf('\n', whole.size() - 2) + 1);
    const QString old = dumps.write(QStringLiteral("old.tsv"), records.mid(records.indexOf('\n') + 1));
    const QByteArray bBefore = fileBytes(b);
    opis({QStringLiteral("write"), b, QStringLiteral("--text"), QString()}); // an empty description to restore over

    Result r = opis({QStringLiteral("restore"), cut, m_dir.path({})});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
        "zelkavio-opis: the dump is not whole (its last line was cut off); nothing was restored (--partial restores "
        "the complete records before the cut)\n");
    r = opis({QStringLiteral("restore"), QStringLiteral("--partial"), cut, m_dir.path({})});
    EXPECT_TRUE(r.out.endsWith("restored 0, already there 1, conflicting 0, ambiguous 0, not found 0, picture changed "
                               "0, failed 0\n"))
        << r.out.toStdString();
    EXPECT_EQ(
        fileBytes(b), jpeg().left(0) + testing_support::encodeJpeg(testing_support::quadrantImage(8, 8)) + "@||@");
    r = opis({QStringLiteral("restore"), old, m_dir.path({})});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.startsWith("zelkavio-opis: this dump was made before dumps ended with a trailer"))
        << r.err.toStdString();
    EXPECT_EQ(fileBytes(b), bBefore);
}
