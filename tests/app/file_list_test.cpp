#include "windows_fixture.h"

#include "platform/errors.h"
#include "viewer/file_listing.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class FileListTest : public WindowsTest {
protected:
    /** A directory of `names` (JPEG pictures) opened in the file list. */
    void openPictures(const QStringList& names)
    {
        for (const QString& name : names)
            writePicture(name);
        openDirectory(pictureDir());
    }

    [[nodiscard]] viewer::FileListBox* list() const { return FPliki->FLBox1; }
    [[nodiscard]] QString counter() const { return FMain->lblNa_pliku->text(); }
};

} // namespace

TEST_F(FileListTest, ListsOnlyPictureFilesOfAnyCaseAndNothingElse)
{
    openPictures({u"c.jpg"_s, u"B.bmp"_s, u"a.jpg"_s, u"PHOTO.JPG"_s, u"z.wmf"_s, u"d.emf"_s, u"e.jpeg"_s});
    m_pictures.write(u".hidden.jpg"_s, "x");
    m_pictures.write(u"notes.txt"_s, "x");
    QDir(pictureDir()).mkdir(u"sub.jpg"_s);
    list()->readList();
    // Alphabetical without regard to case, whatever the directory's order and the user's locale.
    EXPECT_EQ(list()->entries(),
        (QStringList {u"a.jpg"_s, u"B.bmp"_s, u"c.jpg"_s, u"d.emf"_s, u"e.jpeg"_s, u"PHOTO.JPG"_s, u"z.wmf"_s}));
    EXPECT_EQ(list()->sizeHintForRow(0), 13);
    EXPECT_EQ(list()->selectedIndex(), -1);
    EXPECT_EQ(FPliki->Edit1->text(), u"*.bmp;*.jpg;*.jpeg;*.emf;*.wmf"_s);
}

TEST_F(FileListTest, OpeningADirectoryMakesItTheWorkingDirectoryAndPlacesTheWindow)
{
    openPictures({u"a.jpg"_s});
    EXPECT_EQ(QDir::currentPath(), pictureDir());
    EXPECT_EQ(list()->directory().toText(), pictureDir());
    const QRect main = FMain->frameGeometry();
    EXPECT_EQ(FPliki->x(), main.left() + main.width() - FPliki->frameGeometry().width() - 12);
    EXPECT_EQ(FPliki->y(), main.top() + main.height() - FPliki->frameGeometry().height() - 60);
}

TEST_F(FileListTest, OpeningTheOpenDirectoryAgainDoesNotReadTheList)
{
    openPictures({u"a.jpg"_s});
    writePicture(u"b.jpg"_s);
    FPliki->close();
    openDirectory(pictureDir());
    EXPECT_EQ(list()->entries(), QStringList {u"a.jpg"_s});
    EXPECT_TRUE(FPliki->isVisible());
}

TEST_F(FileListTest, SetListPathSelectsAFileByNameWithoutShowingIt)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    list()->SetListPath(u"B.JPG"_s);
    EXPECT_EQ(list()->selectedIndex(), 1);
    EXPECT_EQ(FPliki->Edit1->text(), u"b.jpg");
    EXPECT_FALSE(FFotka->isVisible());
    list()->SetListPath(pictureDir() + u"/c.jpg"_s);
    EXPECT_EQ(list()->selectedIndex(), 2);
}

TEST_F(FileListTest, SetListPathWithAFileOutsideTheMaskListsOnlyThatFile)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    m_pictures.write(u"notes.txt"_s, "x");
    list()->SetListPath(u"notes.txt"_s);
    EXPECT_EQ(list()->entries(), QStringList {u"notes.txt"_s});
    EXPECT_EQ(list()->mask(), u"notes.txt");
    EXPECT_EQ(list()->selectedIndex(), 0);
}

TEST_F(FileListTest, SetListPathWithWildcardsChangesTheMask)
{
    openPictures({u"a.jpg"_s, u"b.bmp"_s, u"ab.jpg"_s});
    list()->SetListPath(u"a?.JPG"_s);
    EXPECT_EQ(list()->entries(), QStringList {u"ab.jpg"_s});
    EXPECT_EQ(FPliki->Edit1->text(), u"a?.JPG");
}

TEST_F(FileListTest, SetListPathOpensASubdirectoryNamedBare)
{
    openPictures({u"a.jpg"_s});
    QDir(pictureDir()).mkdir(u"inner"_s);
    m_pictures.write(u"inner/x.jpg"_s, "x");
    list()->SetListPath(u"inner"_s);
    EXPECT_EQ(list()->directory().toText(), pictureDir() + u"/inner"_s);
    EXPECT_EQ(list()->entries(), QStringList {u"x.jpg"_s});
    EXPECT_EQ(QDir::currentPath(), pictureDir() + u"/inner"_s);
}

TEST_F(FileListTest, SetListPathWithANameThatIsNeitherFileNorDirectoryFailsAndChangesNothing)
{
    openPictures({u"a.jpg"_s});
    list()->selectIndex(0);
    EXPECT_THROW(list()->SetListPath(u"missing"_s), platform::IoError);
    EXPECT_THROW(list()->SetListPath(u"/nowhere/at/all"_s), platform::IoError);
    EXPECT_EQ(list()->entries(), QStringList {u"a.jpg"_s});
    EXPECT_EQ(list()->selectedIndex(), 0);
    EXPECT_EQ(list()->directory().toText(), pictureDir());
}

TEST_F(FileListTest, NextAndPreviousStopAtTheEnds)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    // With nothing selected, previous does nothing and next shows the first picture.
    FMain->mnuPoprzedni->trigger();
    EXPECT_EQ(list()->selectedIndex(), -1);
    EXPECT_FALSE(FFotka->isVisible());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(list()->selectedIndex(), 0);
    EXPECT_EQ(counter(), u"1 / 3");
    EXPECT_TRUE(FFotka->isVisible());
    FMain->mnuPoprzedni->trigger();
    EXPECT_EQ(list()->selectedIndex(), 0);
    FMain->BitKolejny->click();
    FMain->pupNastepny->trigger();
    EXPECT_EQ(counter(), u"3 / 3");
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(list()->selectedIndex(), 2);
    EXPECT_EQ(FPliki->CurrentName, u"c.jpg");
    FMain->BitPoprzedni->click();
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_EQ(counter(), u"2 / 3");
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
}

TEST_F(FileListTest, PreviousStopsARunningShowAndNextDoesNot)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    FMain->mnuNastepny->trigger();
    FMain->mnuAuto->trigger();
    FMain->mnuNastepny->trigger();
    EXPECT_TRUE(FPliki->Timer11->isEnabled());
    EXPECT_TRUE(FPliki->Show.isRunning());
    FMain->mnuPoprzedni->trigger();
    EXPECT_FALSE(FPliki->Timer11->isEnabled());
    EXPECT_FALSE(FPliki->Show.isRunning());
}

TEST_F(FileListTest, AnEmptyDirectoryHasNothingToStepThrough)
{
    openPictures({});
    FMain->mnuNastepny->trigger();
    FMain->mnuPoprzedni->trigger();
    EXPECT_FALSE(FFotka->isVisible());
    FPliki->FormActivate();
    EXPECT_EQ(counter(), u"0 / 0");
}

TEST_F(FileListTest, ActivatingTheWindowUpdatesTheCounterAndTheShowEndFollowsTheList)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s});
    FPliki->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter() == u"0 / 4"; })) << counter().toStdString();
    EXPECT_EQ(FPliki->ShowEndIndex(), 3);
    // Another directory, the window not activated since: the show ends at that list's last entry.
    ASSERT_TRUE(QDir(pictureDir()).mkdir(u"sub"_s));
    writePicture(u"sub/e.jpg"_s);
    writePicture(u"sub/f.jpg"_s);
    openDirectory(pictureDir() + u"/sub"_s);
    EXPECT_EQ(FPliki->ShowEndIndex(), 1);
    list()->selectIndex(1);
    FMain->mnuAuto->trigger();
    EXPECT_FALSE(FPliki->Show.isRunning()) << "the start at the list's last entry ends the show";
    EXPECT_EQ(list()->selectedIndex(), 0);
}

TEST_F(FileListTest, AmpersandAndParenthesisStepBackAndForward)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_ParenLeft, Qt::ShiftModifier);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
    QTest::keyClick(list(), Qt::Key_ParenLeft, Qt::ShiftModifier);
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    QTest::keyClick(list(), Qt::Key_Ampersand, Qt::ShiftModifier);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
    EXPECT_EQ(list()->selectedIndex(), 0);
}

TEST_F(FileListTest, TypingALetterSelectsAndShowsTheFirstEntryStartingWithIt)
{
    openPictures({u"apple.jpg"_s, u"banana.jpg"_s, u"cherry.jpg"_s});
    list()->setFocus();
    QTest::keyClicks(list(), u"c"_s);
    EXPECT_EQ(list()->selectedIndex(), 2);
    EXPECT_EQ(FPliki->CurrentName, u"cherry.jpg");
    EXPECT_TRUE(FFotka->isVisible());
    QTest::keyClick(list(), Qt::Key_Up);
    EXPECT_EQ(FPliki->CurrentName, u"banana.jpg");
}

TEST_F(FileListTest, WithNothingSelectedTheDownKeyShowsTheFirstEntry)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    FPliki->activateWindow();
    list()->setFocus();
    list()->setCurrentIndex(list()->model()->index(1, 0));
    list()->selectIndex(-1);
    list()->selectionModel()->setCurrentIndex(list()->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
    EXPECT_EQ(list()->selectedIndex(), 0);
}

TEST_F(FileListTest, ClickingAnEntryShowsItAndClickingItAgainShowsItAgain)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    const QRect second = list()->visualRect(list()->model()->index(1, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    state().lblPlik->setText(u"elsewhere"_s);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(state().lblPlik->text(), pictureDir() + u"/b.jpg"_s);
}

TEST_F(FileListTest, ShowingAPictureSetsTheDelayFromTheConfiguredOneAndNotesTheNextName)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    state().lblSpin->setText(u"7"_s);
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FMain->SpinEdit1->value(), 7);
    EXPECT_EQ(FPliki->NextName, u"b.jpg");
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FPliki->NextName, u"a.jpg");
    // Showing the same entry again does not prepare again: the edit already holds its name.
    state().lblSpin->setText(u"9"_s);
    FPliki->ShowCurrentPicture();
    EXPECT_EQ(FMain->SpinEdit1->value(), 7);
}

TEST_F(FileListTest, ABadConfiguredDelayIsReportedAndThePictureStillShows)
{
    openPictures({u"a.jpg"_s});
    state().lblSpin->setText(u"abc"_s);
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(dialogTexts(Kind::Report), QStringList {u"'abc' is not a valid integer value."_s});
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_TRUE(FFotka->isVisible());
}

TEST_F(FileListTest, TheListsSelectionAndTheShownPictureNeverDisagreeWhateverTheMouseDoes)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    QWidget* viewport = list()->viewport();
    const auto centre = [&](int row) { return list()->visualRect(list()->model()->index(row, 0)).center(); };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(0));
    ASSERT_EQ(FPliki->CurrentName, u"a.jpg");

    // A right click opens the pop-up menu and leaves the selection alone.
    QTest::mouseClick(viewport, Qt::RightButton, {}, centre(2));
    QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, centre(2), viewport->mapToGlobal(centre(2)));
    QApplication::sendEvent(viewport, &menuAsked);
    EXPECT_TRUE(FMain->PopupMenu1->isVisible());
    FMain->PopupMenu1->hide();
    EXPECT_EQ(list()->selectedIndex(), 0);
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");

    // A drag from one entry to another ends with the entry under the release shown.
    QTest::mousePress(viewport, Qt::LeftButton, {}, centre(1));
    QMouseEvent move(QEvent::MouseMove, QPointF(centre(2)), viewport->mapToGlobal(QPointF(centre(2))), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre(2));
    EXPECT_EQ(list()->selectedIndex(), 2);
    EXPECT_EQ(FPliki->CurrentName, u"c.jpg");

    // Ctrl+click on the shown entry shows it again and keeps it selected; no error box.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, centre(2));
    EXPECT_EQ(list()->selectedIndex(), 2);
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(list()->selectedIndex(), 2);
    EXPECT_EQ(FPliki->CurrentName, u"c.jpg");
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    FMain->mnuPoprzedni->trigger();
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
}

TEST_F(FileListTest, ADirectoryReachedThroughALinkIsNotReadAgainWhenChosenAgain)
{
    openPictures({u"a.jpg"_s, u"b.jpg"_s});
    const QString link = m_start.path(u"link"_s);
    ASSERT_TRUE(QFile::link(pictureDir(), link));
    m_dialogs->queue(link);
    FMain->mnuKatalog->trigger();
    ASSERT_EQ(list()->entries(), (QStringList {u"a.jpg"_s, u"b.jpg"_s}));
    FMain->mnuNastepny->trigger();
    FMain->mnuNastepny->trigger();
    writePicture(u"c.jpg"_s);
    m_dialogs->queue(link);
    FMain->mnuKatalog->trigger();
    // Not read again: the new file is not listed and the selection is kept.
    EXPECT_EQ(list()->entries(), (QStringList {u"a.jpg"_s, u"b.jpg"_s}));
    EXPECT_EQ(list()->selectedIndex(), 1);
    EXPECT_EQ(state().lblDir->text(), link);
}

TEST_F(FileListTest, AFileWhoseNameHoldsWildcardsIsOpenedByItsName)
{
    openPictures({u"a*b.jpg"_s, u"axxb.jpg"_s, u"what?.jpg"_s, u"whatX.jpg"_s});
    list()->SetListPath(u"a*b.jpg"_s);
    EXPECT_EQ(list()->mask(), u"*.bmp;*.jpg;*.jpeg;*.emf;*.wmf"_s);
    EXPECT_EQ(list()->entry(list()->selectedIndex()), u"a*b.jpg");
    list()->SetListPath(pictureDir() + u"/what?.jpg"_s);
    EXPECT_EQ(list()->entry(list()->selectedIndex()), u"what?.jpg");
    // Without a file of that name the text is still a pattern.
    list()->SetListPath(u"w*.jpg"_s);
    EXPECT_EQ(list()->entries(), (QStringList {u"what?.jpg"_s, u"whatX.jpg"_s}));
}
