#include "windows_fixture.h"

#include "store/described_file.h"

#include <QScrollArea>
#include <QTest>

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
    EXPECT_EQ(FPliki->CurrentPath, path);
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
    EXPECT_FALSE(FFotka->WritePictureFile(path, *FPismo->Memo1));
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Trzeba załadowac grafikę..."_s});
    EXPECT_EQ(testing_support::fileBytes(path), "untouched");
}

TEST_F(PictureDisplayTest, WritingStoresTheFieldTextWithCrLfInWindows1250)
{
    const QString path = writePicture(u"a.jpg"_s);
    const QByteArray picture = testing_support::fileBytes(path);
    showOnly(u"a.jpg"_s);
    FPismo->Memo1->setPlainText(u"Łódź\nnowa linia\u00a0z twardą spacją\n"_s);
    ASSERT_TRUE(FFotka->WritePictureFile(path, *FPismo->Memo1));
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
