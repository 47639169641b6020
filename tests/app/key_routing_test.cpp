#include "windows_fixture.h"

#include "platform/dialogs.h"
#include "platform/key_router.h"

#include <QMenuBar>

#include <QAction>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class KeyRoutingTest : public WindowsTest {
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        writePicture(u"a.jpg"_s, QSize(10, 10), Qt::red, u"opis"_s);
        writePicture(u"b.jpg"_s);
        FMain->show();
        openDirectory(pictureDir());
    }

    /** Sends the key to the focused control of `window`, as typing there would. */
    static void press(QWidget* window, QKeyCombination key)
    {
        window->activateWindow();
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
};

} // namespace

TEST_F(KeyRoutingTest, CtrlNInTheFileListShowsTheNextPicture)
{
    FPliki->FLBox1->setFocus();
    press(FPliki, Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
    press(FPliki, Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    press(FPliki, Qt::CTRL | Qt::Key_P);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
}

TEST_F(KeyRoutingTest, CtrlZInTheDescriptionFieldSavesInsteadOfUndoing)
{
    FMain->mnuNastepny->trigger();
    QSignalSpy saves(FMain->pupZapiszOpis, &QAction::triggered);
    QSignalSpy menuSaves(FMain->mnuZapis, &QAction::triggered);
    FPismo->Memo1->setFocus();
    QTest::keyClicks(FPismo->Memo1, u"xyz"_s);
    const QString typed = memoText();
    QTest::keyClick(FPismo->Memo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(menuSaves.count(), 0);
    EXPECT_EQ(memoText(), typed);
}

TEST_F(KeyRoutingTest, CtrlXInTheDescriptionFieldEndsTheProgram)
{
    FMain->mnuNastepny->trigger();
    FPismo->Memo1->selectAll();
    QTest::keyClick(FPismo->Memo1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_main.isNull(); }));
}

TEST_F(KeyRoutingTest, CtrlDWorksInTheViewerWindowsButNotInTheSearchWindow)
{
    QTest::keyClick(FPliki->FLBox1, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(dialogTexts(Kind::Folder).size(), 1);
    QTest::keyClick(FSzukaAll, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(dialogTexts(Kind::Folder).size(), 1);
}

TEST_F(KeyRoutingTest, TheSearchWindowsKeysReachTheMainMenu)
{
    QSignalSpy help(FMain->mnuFAQ, &QAction::triggered);
    closeHelpWhenOpen();
    QTest::keyClick(FSzukaAll, Qt::Key_F1);
    EXPECT_EQ(help.count(), 1);
    QTest::keyClick(FSzukaAll, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
}

TEST_F(KeyRoutingTest, TheMainMenuIsOutOfReachWhileAModalWindowIsUp)
{
    QSignalSpy help(FMain->mnuFAQ, &QAction::triggered);
    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    QTest::keyClick(&modal, Qt::Key_F1);
    EXPECT_EQ(help.count(), 0);
    modal.hide();
    FMain->setEnabled(false);
    QTest::keyClick(FSzukaAll, Qt::Key_F1);
    EXPECT_EQ(help.count(), 0);
    FMain->setEnabled(true);
    closeHelpWhenOpen();
    QTest::keyClick(FSzukaAll, Qt::Key_F1);
    EXPECT_EQ(help.count(), 1);
}

TEST_F(KeyRoutingTest, ThePopupMenuComesBeforeTheMenuBar)
{
    QSignalSpy popup(FMain->pupKoniec, &QAction::triggered);
    QSignalSpy bar(FMain->mnuAuto, &QAction::triggered);
    QSignalSpy popupAuto(FMain->pupAuto, &QAction::triggered);
    QTest::keyClick(FFotka, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(popupAuto.count(), 1);
    // The pop-up item forwards to the show's one handler, reached through its menu item, once.
    EXPECT_EQ(bar.count(), 1);
    // F1 is only in the main menu, so it is found there from every viewer window.
    EXPECT_EQ(platform::KeyRouter::instance().route(FPismo->Memo1, QKeySequence(Qt::Key_F1)), FMain->mnuFAQ);
    EXPECT_EQ(
        platform::KeyRouter::instance().route(FPismo->Memo1, QKeySequence(Qt::CTRL | Qt::Key_K)), FMain->pupKasujOpis);
    EXPECT_EQ(platform::KeyRouter::instance().route(FSzukaAll, QKeySequence(Qt::CTRL | Qt::Key_K)), FMain->mnuKasuj);
    EXPECT_EQ(popup.count(), 0);
}

TEST_F(KeyRoutingTest, KeysWithoutAMenuItemReachTheControl)
{
    FMain->mnuNastepny->trigger();
    FPismo->Memo1->clear();
    QTest::sendKeyEvent(QTest::Click, FPismo->Memo1, Qt::Key_unknown, u"ą"_s, Qt::NoModifier);
    QTest::keyClicks(FPismo->Memo1, u"b"_s);
    EXPECT_EQ(memoText(), u"ąb");
}

TEST_F(KeyRoutingTest, WhileADialogIsOpenNoKeyReachesAMenu)
{
    FPliki->FLBox1->setFocus();
    QSignalSpy next(FMain->pupNastepny, &QAction::triggered);
    QSignalSpy end(FMain->pupKoniec, &QAction::triggered);
    QSignalSpy save(FMain->pupZapiszOpis, &QAction::triggered);
    int seenOpen = 0;
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord&) {
        seenOpen += platform::dialogOpen() ? 1 : 0;
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_N, Qt::CTRL | Qt::Key_X, Qt::CTRL | Qt::Key_Z})
            QTest::keyClick(FPliki->FLBox1, key.key(), key.keyboardModifiers());
        EXPECT_EQ(platform::KeyRouter::instance().route(FPismo->Memo1, QKeySequence(Qt::Key_F1)), nullptr);
    };
    FMain->mnuKatalog->trigger(); // the folder chooser
    FMain->mnuAutor->trigger(); // a message box
    EXPECT_EQ(seenOpen, 2);
    EXPECT_EQ(next.count() + end.count() + save.count(), 0);
    EXPECT_TRUE(FPliki->CurrentName.isEmpty());
    EXPECT_FALSE(m_main.isNull());
    EXPECT_FALSE(platform::dialogOpen());
    // Closed, the keys run their commands again.
    press(FPliki, Qt::CTRL | Qt::Key_N);
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(FPliki->CurrentName, u"a.jpg");
}

TEST_F(KeyRoutingTest, WhileTheChooserIsOpenTheMainWindowsMenuBarTakesNoAltKey)
{
    // The chooser disables only the picture window, so the main window can be active under it.
    QSignalSpy end(FMain->mnuKoniec, &QAction::triggered);
    int choosers = 0;
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord&) {
        if (++choosers > 1)
            return;
        FMain->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([] { return FMain->isActiveWindow(); }));
        QWidget* target = FMain->focusWidget() ? FMain->focusWidget() : FMain.data();
        QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_E, Qt::AltModifier);
        EXPECT_FALSE(FMain->mnuEdycja->isVisible());
    };
    FMain->mnuKatalog->trigger();
    EXPECT_EQ(choosers, 1);
    EXPECT_EQ(end.count(), 0);
    EXPECT_FALSE(m_main.isNull());
}

TEST_F(KeyRoutingTest, AnAccessKeySharedByTwoItemsMovesTheHighlightAndEnterRunsIt)
{
    QSignalSpy chooser(FMain->mnuKatalog, &QAction::triggered);
    QSignalSpy end(FMain->mnuKoniec, &QAction::triggered);
    FMain->activateWindow();
    QWidget* target = FMain->focusWidget() ? FMain->focusWidget() : FMain;
    // "&Katalog" and "&Koniec" share K: each Alt+K only moves the highlight.
    QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(FMain->MainMenu1->activeAction(), FMain->mnuKatalog);
    QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(FMain->MainMenu1->activeAction(), FMain->mnuKoniec);
    QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(FMain->MainMenu1->activeAction(), FMain->mnuKatalog);
    EXPECT_EQ(chooser.count() + end.count(), 0);
    // Enter runs the highlighted item; Esc leaves the menu bar without running anything.
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(chooser.count(), 1);
    EXPECT_EQ(dialogTexts(Kind::Folder).size(), 1);
    EXPECT_EQ(FMain->MainMenu1->activeAction(), nullptr);
    QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
    QTest::keyClick(target, Qt::Key_K, Qt::AltModifier);
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_EQ(FMain->MainMenu1->activeAction(), nullptr);
    EXPECT_EQ(end.count(), 0);
    EXPECT_FALSE(m_main.isNull());
    // A letter that only one item has opens it at once.
    EXPECT_TRUE(QTest::qWaitFor([] { return FMain->isActiveWindow(); }));
    QTest::keyClick(target, Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(FMain->mnuEdycja->isVisible());
    FMain->mnuEdycja->hide();
}
