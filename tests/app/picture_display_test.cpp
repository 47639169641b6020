#include "windows_fixture.h"

#include "store/described_file.h"
#include "store/description_codec.h"
#include "store/picture_transaction.h"

#include "platform/fault_injection.h"
#include "support/jpeg_builder.h"
#include "viewer/cached_scroll_bar.h"
#include "viewer/picture_view.h"

#include <QDateTime>
#include <QFileInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <semaphore>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class PictureDisplayTest : public WindowsTest {
protected:
    void showOnly(const QString& name)
    {
        openDirectory(pictureDir());
        FPliki->FLBox1->SetListPath(name);
        FPliki->ShowCurrentPicture();
    }
};

} // namespace

TEST_F(PictureDisplayTest, APictureWithADescriptionShowsBothWindows)
{
    const QString path = writePicture(u"a.jpg"_s, QSize(40, 30), Qt::red, u"Zażółć gęślą jaźń\r\ndruga linia"_s);
    showOnly(u"a.jpg"_s);
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_TRUE(FFotka->isVisible());
    EXPECT_TRUE(FPismo->isVisible());
    EXPECT_EQ(memoText(), u"Zażółć gęślą jaźń\u2029druga linia");
    EXPECT_EQ(state().lblPlik->text(), path);
    EXPECT_EQ(FPliki->CurrentPath.toText(), path);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
    const qint64 blockLength = 4 + platform::cp1250::encode(u"Zażółć gęślą jaźń\r\ndruga linia"_s).size();
    EXPECT_EQ(state().lblKasuj->text(), QString::number(blockLength));
    EXPECT_EQ(FMain->lblNa_pliku->text(), u"1 / 1");
    EXPECT_EQ(FFotka->Image11->size(), QSize(40, 30));
    EXPECT_EQ(FFotka->Image11->image().pixelColor(20, 15).red() > 200, true);
}

TEST_F(PictureDisplayTest, APictureWithoutADescriptionOrWithAnEmptyOneHidesTheDescriptionWindow)
{
    writePicture(u"a.jpg"_s, QSize(10, 10), Qt::red, u"opis"_s);
    writePicture(u"b.jpg"_s);
    writePicture(u"c.jpg"_s, QSize(10, 10), Qt::blue, QString());
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    EXPECT_TRUE(FPismo->isVisible());
    FMain->mnuNastepny->trigger();
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_EQ(memoText(), QString());
    EXPECT_EQ(state().lblKasuj->text(), u"0");
    FMain->mnuNastepny->trigger();
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_EQ(state().lblKasuj->text(), u"4");
}

TEST_F(PictureDisplayTest, LoneLineBreaksShowAsLineBreaksAndTheTextEndsAtANul)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::green);
    m_pictures.write(
        u"a.jpg"_s, testing_support::encodeJpeg(image) + QByteArray("@||@one\rtwo\nthree\n\rfour\0five", 29));
    showOnly(u"a.jpg"_s);
    EXPECT_EQ(memoText(), u"one\u2029two\u2029three\u2029\u2029four");
    EXPECT_EQ(state().lblKasuj->text(), u"29");
}

TEST_F(PictureDisplayTest, AFailingPictureShowsTheErrorBoxAndKeepsThePreviousPicture)
{
    writePicture(u"a.jpg"_s, QSize(40, 30), Qt::red, u"opis a"_s);
    m_pictures.write(u"b.jpg"_s, "this is no picture");
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    ASSERT_TRUE(FFotka->isVisible());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Błąd! - Nie mogę załadowac pliku b.jpg jako obrazu"_s});
    // The steps before the read stay done; the picture and the windows stay as they were.
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_EQ(state().lblPlik->text(), pictureDir() + u"/b.jpg"_s);
    EXPECT_EQ(FMain->lblNa_pliku->text(), u"2 / 2");
    EXPECT_EQ(memoText(), QString());
    EXPECT_EQ(FFotka->Image11->size(), QSize(40, 30));
    EXPECT_TRUE(FPismo->isVisible());
    // No block length of the previous file is left to cut from this one.
    bool isNumber = false;
    (void)state().lblKasuj->text().toInt(&isNumber);
    EXPECT_FALSE(isNumber);
}

TEST_F(PictureDisplayTest, ADescriptionTooLongForTheFieldFailsAfterThePictureWasReplaced)
{
    writePicture(u"a.jpg"_s, QSize(40, 30));
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    m_pictures.write(
        u"b.jpg"_s, testing_support::encodeJpeg(image) + "@||@" + QByteArray(qsizetype {17} * 1024 * 1024, 'x'));
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Błąd! - Nie mogę załadowac pliku b.jpg jako obrazu"_s});
    EXPECT_EQ(FFotka->Image11->size(), QSize(12, 8));
    EXPECT_EQ(memoText(), QString());
    bool isNumber = false;
    (void)state().lblKasuj->text().toInt(&isNumber);
    EXPECT_FALSE(isNumber);
}

TEST_F(PictureDisplayTest, WithNothingSelectedTheErrorNamesThePreviousPicture)
{
    writePicture(u"a.jpg"_s);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    FPliki->FLBox1->selectIndex(-1);
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Błąd! - Nie mogę załadowac pliku a.jpg jako obrazu"_s});
    EXPECT_EQ(state().lblKasuj->text(), u"0");
}

TEST_F(PictureDisplayTest, WritingWithoutAPictureOnlyShowsAMessage)
{
    const QString path = m_pictures.write(u"a.jpg"_s, "untouched");
    store::PictureTransaction change(platform::FilePath::fromText(path));
    EXPECT_FALSE(FFotka->WritePictureFile(change, "opis"));
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Trzeba załadowac grafikę..."_s});
    EXPECT_EQ(testing_support::fileBytes(path), "untouched");
}

TEST_F(PictureDisplayTest, WritingStoresTheFieldTextWithCrLfInWindows1250)
{
    const QString path = writePicture(u"a.jpg"_s);
    const QByteArray picture = testing_support::fileBytes(path);
    showOnly(u"a.jpg"_s);
    FPismo->Memo1->setPlainText(u"Łódź\nnowa linia\u00a0z twardą spacją\n"_s);
    store::PictureTransaction change(platform::FilePath::fromText(path));
    ASSERT_TRUE(FFotka->WritePictureFile(change, store::fieldTextToDescription(FPismo->Memo1->text())));
    EXPECT_EQ(testing_support::fileBytes(path),
        picture + "@||@" + platform::cp1250::encode(u"Łódź\r\nnowa linia\u00a0z twardą spacją\r\n"_s));
}

namespace {

struct FitCase {
    const char* name;
    QSize picture;
    QSize expectedClient; // empty: the window keeps its size
    bool autoSize;
};

class FitWindowTest : public PictureDisplayTest, public ::testing::WithParamInterface<FitCase> { };

} // namespace

TEST_P(FitWindowTest, ThePictureWindowFitsThePictureToTheScreen)
{
    const FitCase& fit = GetParam();
    platform::fakePrimaryScreenSize(QSize(200, 100));
    writePicture(u"a.jpg"_s, fit.picture);
    const QSize before = FFotka->size();
    showOnly(u"a.jpg"_s);
    ASSERT_TRUE(FFotka->isVisible());
    EXPECT_EQ(FFotka->size(), fit.expectedClient.isEmpty() ? before : fit.expectedClient);
    EXPECT_EQ(FFotka->autoSize(), fit.autoSize);
    EXPECT_EQ(FFotka->Image11->size(), fit.picture);
}

INSTANTIATE_TEST_SUITE_P(FiveCases, FitWindowTest,
    ::testing::Values(FitCase {"LargerBothWays", QSize(300, 150), QSize(180, 70), false},
        FitCase {"Wider", QSize(300, 50), QSize(180, 50), false},
        FitCase {"Taller", QSize(50, 150), QSize(50, 70), false},
        FitCase {"Smaller", QSize(50, 40), QSize(50, 40), true},
        FitCase {"ExactlyAsWide", QSize(200, 50), QSize(), false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PictureDisplayTest, AfterASmallPictureTheOpenWindowFollowsEachLargerOne)
{
    platform::fakePrimaryScreenSize(QSize(200, 100));
    writePicture(u"a.jpg"_s, QSize(20, 20));
    writePicture(u"b.jpg"_s, QSize(300, 150));
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FFotka->size(), QSize(20, 20));
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FFotka->size(), QSize(300, 150));
    // Shown again after closing, the window fits anew.
    FFotka->close();
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(FFotka->size(), QSize(180, 70));
    EXPECT_FALSE(FFotka->autoSize());
}

TEST_F(PictureDisplayTest, ThePictureWindowReturnsWhereItWasClosed)
{
    writePicture(u"a.jpg"_s);
    state().lblLewaFotka->setText(u"33"_s);
    state().lblTopFotka->setText(u"44"_s);
    showOnly(u"a.jpg"_s);
    EXPECT_EQ(FFotka->pos(), QPoint(33, 44));
    FFotka->move(70, 80);
    FFotka->close();
    EXPECT_EQ(state().lblLewaFotka->text(), u"70");
    EXPECT_EQ(state().lblTopFotka->text(), u"80");
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(FFotka->pos(), QPoint(70, 80));
}

TEST_F(PictureDisplayTest, ABadPositionIsReportedAndTheWindowShowsAnyway)
{
    writePicture(u"a.jpg"_s);
    state().lblTopFotka->setText(u"dwadzieścia"_s);
    showOnly(u"a.jpg"_s);
    EXPECT_EQ(dialogTexts(Kind::Report), QStringList {u"'dwadzieścia' is not a valid integer value."_s});
    EXPECT_TRUE(FFotka->isVisible());
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
}

TEST_F(PictureDisplayTest, TheDescriptionWindowTakesItsGeometryFontAndColourFromTheState)
{
    writePicture(u"a.jpg"_s, QSize(10, 10), Qt::red, u"opis"_s);
    state().lblLewa->setText(u"15"_s);
    state().lblTop->setText(u"25"_s);
    state().lblSzer->setText(u"300"_s);
    state().lblWys->setText(u"90"_s);
    QFont font(u"DejaVu Sans"_s, 16);
    state().pnlKolor->setFont(font);
    QPalette colours = state().pnlKolor->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 128));
    state().pnlKolor->setPalette(colours);
    showOnly(u"a.jpg"_s);
    EXPECT_EQ(FPismo->geometry(), QRect(15, 25, 300, 90));
    EXPECT_EQ(FPismo->Memo1->font().pointSize(), 16);
    EXPECT_EQ(FPismo->Memo1->palette().color(QPalette::Base), QColor(0, 0, 128));

    FPismo->move(50, 60);
    FPismo->resize(320, 100);
    FPismo->close();
    EXPECT_EQ(state().lblLewa->text(), u"50");
    EXPECT_EQ(state().lblTop->text(), u"60");
    EXPECT_EQ(state().lblSzer->text(), u"320");
    EXPECT_EQ(state().lblWys->text(), u"100");
}

TEST_F(PictureDisplayTest, ADescriptionWindowAtANonPositiveEdgeKeepsItsPlaceAndLook)
{
    writePicture(u"a.jpg"_s, QSize(10, 10), Qt::red, u"opis"_s);
    FPismo->setGeometry(0, 30, 200, 80);
    state().lblLewa->setText(u"0"_s);
    state().lblTop->setText(u"bad"_s);
    QPalette colours = state().pnlKolor->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 128));
    state().pnlKolor->setPalette(colours);
    showOnly(u"a.jpg"_s);
    EXPECT_EQ(FPismo->geometry(), QRect(0, 30, 200, 80));
    EXPECT_EQ(FPismo->Memo1->palette().color(QPalette::Base), QColor(Qt::black));
    // The top edge is not even read when the left one is not positive.
    EXPECT_TRUE(dialogTexts(Kind::Report).isEmpty());
}

TEST_F(PictureDisplayTest, HidingTheDescriptionWindowStoresNothing)
{
    writePicture(u"a.jpg"_s, QSize(10, 10), Qt::red, u"opis"_s);
    writePicture(u"b.jpg"_s);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    FPismo->move(77, 88);
    FMain->mnuNastepny->trigger();
    EXPECT_FALSE(FPismo->isVisible());
    EXPECT_EQ(state().lblLewa->text(), u"010");
}

namespace {

/** A picture whose rows below `gateRow` are decoded only once the test opens the gate. */
class GatedPicture final : public store::Picture {
public:
    GatedPicture(QImage pixels, int gateRow)
        : m_pixels(std::move(pixels))
        , m_gateRow(gateRow)
    {
    }
    ~GatedPicture() override
    {
        open();
        stopDecoding();
    }
    void open() { m_gate.release(); }

    [[nodiscard]] store::PictureFormat format() const override { return store::PictureFormat::Bmp; }
    [[nodiscard]] QSize size() const override { return m_pixels.size(); }
    [[nodiscard]] qint64 pictureEnd() const override { return 0; }
    [[nodiscard]] bool hasOwnEnd() const override { return true; }
    [[nodiscard]] QStringList details() const override { return {}; }
    [[nodiscard]] const QImage& image() const override { return decodedImage(); }

protected:
    [[nodiscard]] bool decodesByRows() const override { return true; }
    [[nodiscard]] QString decodeRows(store::RowTarget& target, int /*first*/) const override
    {
        for (int y = 0; y < m_pixels.height(); ++y) {
            if (y == m_gateRow)
                m_gate.acquire();
            std::memcpy(target.row(y), m_pixels.constScanLine(y), std::size_t(m_pixels.bytesPerLine()));
            if (!target.written(y, y + 1))
                break;
        }
        return {};
    }

private:
    QImage m_pixels;
    int m_gateRow;
    mutable std::binary_semaphore m_gate {0};
};

} // namespace

TEST_F(PictureDisplayTest, APictureStillDecodingShowsItsDecodedRowsAndTheBackdropBelow)
{
    const QImage pixels = testing_support::photoLikeImage(64, 48).convertToFormat(QImage::Format_RGB32);
    GatedPicture picture(pixels, 20);
    picture.decodeInBackground(0, {});
    picture.waitForRows(0, 20);
    viewer::PictureView view(nullptr);
    view.follow(picture);
    const QColor backdrop = view.palette().window().color();
    const auto paintedRows = [&](int from, int to) {
        return view.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(0, from, 64, to - from);
    };
    EXPECT_EQ(paintedRows(0, 20), pixels.copy(0, 0, 64, 20));
    QImage below(64, 28, QImage::Format_RGB32);
    below.fill(backdrop);
    EXPECT_EQ(paintedRows(20, 48), below);

    picture.open();
    picture.waitForRows(0, 48);
    view.rowsArrived();
    EXPECT_EQ(paintedRows(0, 48), pixels);
    view.stopFollowing();
}

TEST_F(PictureDisplayTest, TheNextPictureIsReadAheadAndReadAgainOnlyWhenItsFileChanged)
{
    writePicture(u"a.jpg"_s, QSize(40, 30), Qt::red, u"opis a"_s);
    const QString b = writePicture(u"b.jpg"_s, QSize(40, 30), Qt::blue, u"opis b"_s);
    openDirectory(pictureDir());
    const auto showAThenPrepareB = [&] {
        FPliki->FLBox1->selectIndex(-1);
        FMain->mnuNastepny->trigger();
        ASSERT_TRUE(QTest::qWaitFor([] { return FFotka->readAhead().isRead(); }, 5000));
        EXPECT_EQ(FFotka->readAhead().path().toText(), b);
    };
    showAThenPrepareB();
    {
        // Taken from what was read ahead: the file is not read again.
        const platform::InjectedFailure unreadable(platform::FileOperation::ReadFile, b, EIO);
        FMain->mnuNastepny->trigger();
    }
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_EQ(memoText(), u"opis b");

    const auto rewrite = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray quadrants = testing_support::encodeJpeg(testing_support::quadrantImage(40, 30)) + "@||@zielony";
    const QByteArray sameSize = testing_support::encodeJpeg(testing_support::quadrantImage(40, 30)) + "@||@zielona";
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"rewritten in place", [&] { rewrite(b, quadrants); }},
        {"replaced by a file of the same size",
            [&] {
                rewrite(b + u".new"_s, sameSize);
                ASSERT_EQ(
                    std::rename(QFile::encodeName(b + u".new"_s).constData(), QFile::encodeName(b).constData()), 0);
            }},
        {"same size, a later time",
            [&] {
                rewrite(b, quadrants);
                QFile file(b);
                ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
            }},
        {"same size, the same modification time",
            [&] {
                // The file system's clock may tick only every few milliseconds: it has ticked since the read ahead.
                const auto changeTime = [](const QString& file) {
                    struct stat st { };
                    return ::stat(QFile::encodeName(file).constData(), &st) == 0
                        ? std::pair<qint64, qint64>(st.st_ctim.tv_sec, st.st_ctim.tv_nsec)
                        : std::pair<qint64, qint64>(0, 0);
                };
                const QString probe = b + u".clock"_s;
                while (changeTime(probe) <= changeTime(b))
                    rewrite(probe, "x");
                const QByteArray path = QFile::encodeName(b);
                struct stat before { };
                ASSERT_EQ(::stat(path.constData(), &before), 0);
                rewrite(b, sameSize);
                const timespec times[2] = {before.st_atim, before.st_mtim};
                ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
                ASSERT_EQ(QFileInfo(b).size(), before.st_size);
            }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        showAThenPrepareB();
        change();
        const QString expected
            = store::readDescribedFile(platform::FilePath::fromText(b)).description.value_or(QByteArray());
        FMain->mnuNastepny->trigger();
        EXPECT_EQ(memoText(), expected);
        // The new picture's top left quadrant is red where the old one was blue.
        EXPECT_TRUE(testing_support::nearColour(FFotka->Image11->image().pixel(2, 2), Qt::red));
    }
}

TEST_F(PictureDisplayTest, TheNextPictureIsReadAheadOnlyOnceTheShownOneIsPainted)
{
    writePicture(u"a.jpg"_s, QSize(40, 30), Qt::red);
    writePicture(u"b.jpg"_s, QSize(40, 30), Qt::blue);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return FFotka->readAhead().isRead(); }, 5000));
    // At each paint request of the picture window: whether the read of the picture after the new one had begun.
    struct PaintWatch : QObject {
        int paints = 0;
        bool readBeforePaint = false;
        bool eventFilter(QObject* /*watched*/, QEvent* event) override
        {
            if (event->type() == QEvent::UpdateRequest) {
                ++paints;
                readBeforePaint = readBeforePaint || FFotka->readAhead().path().bytes().endsWith("/a.jpg");
            }
            return false;
        }
    } watch;
    FFotka->installEventFilter(&watch);
    FMain->mnuNastepny->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return FFotka->readAhead().path().bytes().endsWith("/a.jpg"); }, 5000));
    FFotka->removeEventFilter(&watch);
    EXPECT_GT(watch.paints, 0);
    EXPECT_FALSE(watch.readBeforePaint);
}

TEST_F(PictureDisplayTest, ADamagedNextPictureReportsOnlyWhenShownExactlyAsWithoutReadingAhead)
{
    writePicture(u"a.jpg"_s);
    m_pictures.write(u"b.jpg"_s, "this is no picture");
    m_pictures.write(u"c.jpg"_s,
        testing_support::withoutQuantisationTables(testing_support::encodeJpeg(QImage(32, 16, QImage::Format_RGB32)))
            + "@||@opis c");
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return FFotka->readAhead().isRead(); }, 5000));
    EXPECT_TRUE(m_dialogs->records().empty());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Błąd! - Nie mogę załadowac pliku b.jpg jako obrazu"_s});
    ASSERT_TRUE(QTest::qWaitFor([] { return FFotka->readAhead().isRead(); }, 5000));
    EXPECT_EQ(m_dialogs->records().size(), 1);
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(dialogTexts(Kind::Report), QStringList {u"JPEG error #52."_s});
    EXPECT_EQ(memoText(), u"opis c");
    EXPECT_EQ(m_dialogs->records().size(), 2);
}

TEST_F(PictureDisplayTest, ThePictureWindowsScrollBarsDrawAsPlainOnesAfterEveryChange)
{
    EXPECT_NE(dynamic_cast<viewer::CachedScrollBar*>(FFotka->scrollArea()->horizontalScrollBar()), nullptr);
    EXPECT_NE(dynamic_cast<viewer::CachedScrollBar*>(FFotka->scrollArea()->verticalScrollBar()), nullptr);
    const std::pair<const char*, std::function<void(QScrollBar&)>> changes[] = {
        {"first drawing", [](QScrollBar&) {}},
        {"moved", [](QScrollBar& bar) { bar.setValue(2500); }},
        {"another range", [](QScrollBar& bar) { bar.setRange(0, 200); }},
        {"longer", [](QScrollBar& bar) { bar.resize(bar.size() + QSize(1, 1) * 77); }},
        {"disabled", [](QScrollBar& bar) { bar.setEnabled(false); }},
    };
    for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        QScrollBar plain(orientation);
        viewer::CachedScrollBar cached(orientation);
        for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&cached)}) {
            bar->resize(orientation == Qt::Horizontal ? QSize(1000, 14) : QSize(14, 1000));
            bar->setRange(0, 5000);
            bar->setPageStep(1000);
        }
        for (const auto& [name, change] : changes) {
            SCOPED_TRACE(std::string(orientation == Qt::Horizontal ? "horizontal, " : "vertical, ") + name);
            change(plain);
            change(cached);
            // Drawn in pieces, the rounded corners may blend a few pixels by some shades; anything misplaced or stale
            // changes whole edges.
            const QImage drawn = cached.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage expected = plain.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(drawn.size(), expected.size());
            int differing = 0;
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x)
                    differing += drawn.pixel(x, y) != expected.pixel(x, y);
            }
            EXPECT_LE(differing, 8);
        }
    }
}
