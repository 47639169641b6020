#include "windows_fixture.h"

#include "platform/audio_output.h"
#include "platform/fault_injection.h"
#include "settings/settings_file.h"
#include "support/sound_builder.h"

#include <QAccessible>

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

struct MenuRow {
    const char* name;
    const char* caption;
    const char* shortcut;
};

/** The captions of `menu`'s items in order, separators as "-", each with its shortcut after a tab. */
QStringList itemsOf(const QWidget* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            items << QStringLiteral("-");
        else
            items << action->objectName() + u'|' + action->text() + u'|' + action->shortcut().toString();
    }
    return items;
}

QStringList expected(std::initializer_list<MenuRow> rows)
{
    QStringList items;
    for (const MenuRow& row : rows) {
        if (QString::fromUtf8(row.name) == u"-")
            items << QStringLiteral("-");
        else
            items << QString::fromUtf8(row.name) + u'|' + QString::fromUtf8(row.caption) + u'|'
                    + QString::fromUtf8(row.shortcut);
    }
    return items;
}

} // namespace

TEST_F(WindowsTest, StartUpCreatesSixHiddenWindowsReachableByNameWithTheirInitialState)
{
    ASSERT_TRUE(FMain && FFotka && FPismo && FPliki && FSzukaAll && Fhelp);
    for (QWidget* window : std::initializer_list<QWidget*> {FMain, FFotka, FPismo, FPliki, FSzukaAll, Fhelp})
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    EXPECT_EQ(FMain->windowTitle(), u"Zelkavio wer. 3.0");
    EXPECT_TRUE(FMain->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(FPliki->windowTitle(), u"Pliki katalogu");
    EXPECT_TRUE(FPliki->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(FPismo->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(FFotka->windowTitle().isEmpty());

    // The viewer state's initial texts.
    const std::vector<std::pair<QLabel*, QString>> fields {
        {state().lblDir, u"lblDir"_s},
        {state().lblPlik, u"lblPlik"_s},
        {state().lblKasuj, u"lblKasuj"_s},
        {state().lblSpin, u"002"_s},
        {state().lblCzas2, u"lblCzas2"_s},
        {state().lblLewa, u"010"_s},
        {state().lblTop, u"632"_s},
        {state().lblSzer, u"630"_s},
        {state().lblWys, u"122"_s},
        {state().lblLewaFotka, u"010"_s},
        {state().lblTopFotka, u"020"_s},
    };
    for (const auto& [label, text] : fields)
        EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
    EXPECT_EQ(state().pnlKolor->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(state().pnlKolor->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_TRUE(state().pnlKolor->font().bold());

    // The bottom panel's controls with their captions, places and tooltips.
    EXPECT_EQ(FMain->pnlDolny->height(), 41);
    EXPECT_EQ(FMain->lblKatalog->text(), u"brak");
    EXPECT_EQ(FMain->lblNa_pliku->text(), u"00");
    EXPECT_EQ(FMain->SpinEdit1->value(), 3);
    EXPECT_FALSE(FMain->CheckRepetuj->isChecked());
    EXPECT_EQ(FMain->CheckRepetuj->text(), u"Powtarzaj");
    EXPECT_EQ(FMain->SB1->minimum(), 0);
    EXPECT_EQ(FMain->SB1->maximum(), 65535);
    EXPECT_EQ(FMain->SB1->value(), 32723);
    EXPECT_EQ(FMain->SB1->singleStep(), 10);

    const std::vector<std::tuple<QWidget*, int, QString>> placed {
        {FMain->StaticText1, 8, u""_s},
        {FMain->lblKatalog, 64, u""_s},
        {FMain->StaticText2, 192, u""_s},
        {FMain->lblNa_pliku, 272, u""_s},
        {FMain->BitPoprzedni, 344, u"Pokaz poprzedniego obrazu"_s},
        {FMain->BitKolejny, 376, u"Pokaz następnego obrazy"_s},
        {FMain->BitAuto, 408, u"Uruchamia automatyczny pokaz"_s},
        {FMain->BitStop, 440, u"Zatrzymuje automatyczny pokaz"_s},
        {FMain->StaticText4, 496, u""_s},
        {FMain->SpinEdit1, 584, u""_s},
        {FMain->CheckRepetuj, 664, u"Powtarza pokaz od poczatku katalogu"_s},
        {FMain->StaticText3, 808, u""_s},
        {FMain->SB1, 880, u""_s},
    };
    for (const auto& [control, x, tooltip] : placed) {
        EXPECT_EQ(control->x(), x) << control->objectName().toStdString();
        EXPECT_EQ(control->toolTip(), tooltip) << control->objectName().toStdString();
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(face, nullptr);
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty()) << control->objectName().toStdString();
    }
    EXPECT_EQ(FMain->StaticText2->text(), u"Plików/Plik:");
    EXPECT_EQ(FMain->StaticText3->text(), u"Siła głosu:");
    for (QPushButton* button : {FMain->BitPoprzedni, FMain->BitKolejny, FMain->BitAuto, FMain->BitStop}) {
        EXPECT_EQ(button->size(), QSize(28, 28));
        EXPECT_FALSE(button->icon().isNull());
        // The glyph has a transparent background and a disabled form of its own.
        const QImage normal = button->icon().pixmap(button->iconSize()).toImage();
        const QImage disabled = button->icon().pixmap(button->iconSize(), QIcon::Disabled).toImage();
        EXPECT_EQ(qAlpha(normal.pixel(0, 0)), 0);
        EXPECT_NE(normal, disabled);
    }
}

TEST_F(WindowsTest, MainMenuHasEveryItemInOrderWithCaptionsAndShortcuts)
{
    EXPECT_EQ(itemsOf(FMain->MainMenu1),
        expected({{"mnuKatalog", "&Katalog", ""}, {"mnuEdycja", "&Edycja", ""}, {"mnuUstaw", "&Ustawienia", ""},
            {"mnuPomoc", "&Pomoc", ""}, {"mnuKoniec", "&Koniec", "Ctrl+X"}}));
    EXPECT_EQ(itemsOf(FMain->mnuEdycja),
        expected({{"mnuPoprzedni", "Poprzedni obraz", "Ctrl+P"}, {"mnuNastepny", "Następny obraz", "Ctrl+N"},
            {"mnuAuto", "Automatyczny pokaz obrazów", "Ctrl+A"}, {"mnuStop", "Zatrzymanie (STOP) pokazu", "F10"},
            {"-", "", ""}, {"mnuPokazOpis", "Pokaż pole opisów", ""}, {"mnuUkryjOapisy", "Ukryj  pole opisów", ""},
            {"-", "", ""}, {"mnuZapis", "Zapis opisu", "Ctrl+Z"}, {"mnuKasuj", "Kasuj opis", "Ctrl+K"},
            {"mnuPodkatalog", "Podkatalog", ""}, {"-", "", ""}, {"mnuSzuka", "Znajdź &Frazę", "Ctrl+F"}}));
    EXPECT_FALSE(FMain->mnuPodkatalog->isVisible());
    EXPECT_EQ(itemsOf(FMain->mnuUstaw),
        expected({{"mnuKolor_Ekranu", "Kolor ekranu", ""}, {"mnuKolor", "Kolor pola opisów", ""},
            {"mnuFonty", "Fonty (czcionka) opisów", ""}, {"mnuLitery", "Kolor fontów dolnego panela", ""},
            {"-", "", ""}, {"mnuZapisSetup", "Zapis ustawień", ""}}));
    EXPECT_EQ(itemsOf(FMain->mnuPomoc),
        expected({{"mnuFAQ", "Wskazówki dla obsługi programu", "F1"}, {"mnuAutor", "Autor programu", ""}}));
}

TEST_F(WindowsTest, PopupMenuHasEveryItemInOrderWithCaptionsAndShortcuts)
{
    EXPECT_EQ(itemsOf(FMain->PopupMenu1),
        expected({{"pupKatalog", "Katalog", "Ctrl+D"}, {"-", "", ""}, {"pupSzuka", "Znajdź frazę", "Ctrl+F"},
            {"-", "", ""}, {"pupPoprzedni", "Pokaz poprzedniego obrazu", "Ctrl+P"},
            {"pupNastepny", "Pokaz następnego obrazu", "Ctrl+N"}, {"pupAuto", "Automatyczny pokaz obrazów", "Ctrl+A"},
            {"pupStop", "Zatrzymanie (STOP) pokazu", "F10"}, {"-", "", ""}, {"pupKasujOpis", "Kasuj opis", "Ctrl+K"},
            {"pupZapiszOpis", "Zapisz opis", "Ctrl+Z"}, {"-", "", ""}, {"pupPokazNapisy", "Pokaż pole opisów", ""},
            {"pupUkryjNapisy", "Ukryj pole opisów", ""}, {"-", "", ""}, {"pupUndo", "Cofnij zmiany tekstu", ""},
            {"pupCopy", "Kopiuj do schowka", ""}, {"pupCut", "Wytnij do schowka", ""}, {"pupPaste", "Wstaw tekst", ""},
            {"-", "", ""}, {"pupKoniec", "Koniec", "Ctrl+X"}, {"-", "", ""},
            {"pupDopasuj", "Dopasuj obraz do ekranu", "Ctrl+0"}, {"pupPowieksz", "Powiększ obraz", "Ctrl++"},
            {"pupPomniejsz", "Pomniejsz obraz", "Ctrl+-"}}));
}

TEST_F(WindowsTest, ShowingTheMainWindowOpensTheRememberedDirectoryWhenItExists)
{
    writePicture(u"a.jpg"_s);
    state().lblDir->setText(pictureDir());
    FMain->show();
    EXPECT_TRUE(FPliki->isVisible());
    EXPECT_EQ(FPliki->FLBox1->entries(), QStringList {u"a.jpg"_s});
    EXPECT_EQ(FMain->lblKatalog->text(), QDir(pictureDir()).dirName());
}

TEST_F(WindowsTest, APictureFromTheCommandLineIsOpenedAsIfItsFolderWereChosenAndItClicked)
{
    writePicture(u"b.jpg"_s, QSize(40, 30), Qt::red, u"opis b"_s);
    FMain->setStartFolder(pictureDir(), u"b.jpg"_s);
    FMain->show();
    EXPECT_TRUE(QTest::qWaitFor([] { return FPismo->isVisible(); }, 5000));
    EXPECT_EQ(state().lblDir->text(), pictureDir()); // what "Zapis ustawień" would store
    EXPECT_EQ(FMain->lblKatalog->text(), QDir(pictureDir()).dirName());
    EXPECT_EQ(FMain->FolderBrowse1->Directory, pictureDir());
    EXPECT_EQ(FMain->lblNa_pliku->text(), viewer::counterText(0, 1));
}

TEST_F(WindowsTest, ARememberedDirectoryThatIsGoneIsSilentlyNotOpened)
{
    state().lblDir->setText(pictureDir() + u"/deleted"_s);
    FMain->show();
    EXPECT_FALSE(FPliki->isVisible());
    EXPECT_EQ(FMain->lblKatalog->text(), u"brak");
    EXPECT_TRUE(m_dialogs->records().empty());
}

TEST_F(WindowsTest, ChoosingADirectoryOpensItAndPreselectsItNextTime)
{
    writePicture(u"b.jpg"_s);
    m_dialogs->queue(pictureDir());
    FMain->mnuKatalog->trigger();
    EXPECT_EQ(m_dialogs->lastPreselect(), QString());
    EXPECT_EQ(state().lblDir->text(), pictureDir());
    EXPECT_EQ(FPliki->FLBox1->entries(), QStringList {u"b.jpg"_s});
    EXPECT_EQ(QDir::currentPath(), pictureDir());
    EXPECT_TRUE(FPliki->isVisible());

    m_dialogs->queue(std::monostate {});
    FMain->pupKatalog->trigger();
    EXPECT_EQ(m_dialogs->lastPreselect(), pictureDir());
    EXPECT_EQ(state().lblDir->text(), pictureDir());
}

TEST_F(WindowsTest, CancellingTheChooserChangesNothing)
{
    FMain->mnuKatalog->trigger();
    EXPECT_EQ(dialogTexts(Kind::Folder).size(), 1);
    EXPECT_EQ(state().lblDir->text(), u"lblDir");
    EXPECT_FALSE(FPliki->isVisible());
}

TEST_F(WindowsTest, ChoosingTheRootLeavesTheDirectoryNameEmpty)
{
    m_dialogs->queue(u"/"_s);
    FMain->mnuKatalog->trigger();
    EXPECT_EQ(FPliki->FLBox1->directory().toText(), u"/");
    EXPECT_EQ(FMain->lblKatalog->text(), QString());
}

TEST_F(WindowsTest, AuthorCreditNamesTheTeamAndTheWebAddress)
{
    FMain->mnuAutor->trigger();
    const QStringList messages = dialogTexts(Kind::Message);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(u"zespół Zelkavio"));
    EXPECT_TRUE(messages[0].contains(QStringLiteral(ZELKAVIO_HOMEPAGE)));
}

TEST_F(WindowsTest, EndingTheProgramFreesTheViewerWindowsAndThenTheSoundOutput)
{
    writePicture(u"a.jpg"_s);
    m_pictures.write(u"a.wav"_s, testing_support::wavFile(std::int64_t {8000} * 30));
    openDirectory(pictureDir());
    FPliki->FLBox1->selectIndex(0);
    FPliki->ShowCurrentPicture();
    ASSERT_TRUE(FPliki->MediaPlayer1.isPlaying());
    const QPointer<QWidget> list = FPliki.data();
    const QPointer<QWidget> picture = FFotka.data();
    FMain->show();
    FMain->mnuKoniec->trigger();
    // Each window goes once control has left the handler, the main window with them.
    EXPECT_FALSE(m_main.isNull());
    EXPECT_FALSE(FPliki->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_main.isNull(); }));
    EXPECT_TRUE(list.isNull() && picture.isNull());
    EXPECT_TRUE(FPliki.isNull() && FSzukaAll.isNull() && Fhelp.isNull() && FMain.isNull());
    EXPECT_FALSE(platform::audioOutputOpen());
}

TEST_F(WindowsTest, EndingTheProgramUnderTheOpenChooserFreesTheWindowsOnlyAfterItsHandler)
{
    FMain->show();
    // The chooser leaves the main window enabled, so "Koniec" can be clicked while it is open.
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord&) {
        FMain->mnuKoniec->trigger();
        QCoreApplication::processEvents();
        EXPECT_FALSE(m_main.isNull());
    };
    m_dialogs->queue(pictureDir());
    FMain->mnuKatalog->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_main.isNull(); }));
    EXPECT_TRUE(FPliki.isNull() && FFotka.isNull() && FPismo.isNull());
}

TEST_F(WindowsTest, ADirectoryThatCannotBeEnteredOrListedIsReportedAndChangesNothing)
{
    writePicture(u"a.jpg"_s);
    openDirectory(pictureDir());
    const QString unreadable = pictureDir() + u"/unreadable"_s;
    ASSERT_TRUE(QDir().mkdir(unreadable));
    // One that can be entered but not listed (mode --x), and one that is gone.
    const platform::InjectedFailure noListing(platform::FileOperation::ListDirectory, unreadable, EACCES);
    for (const QString& chosen : {unreadable, pictureDir() + u"/gone"_s}) {
        SCOPED_TRACE(chosen.toStdString());
        m_dialogs->clear();
        m_dialogs->queue(chosen);
        FMain->mnuKatalog->trigger();
        EXPECT_EQ(dialogTexts(Kind::Report).size(), 1);
        EXPECT_EQ(state().lblDir->text(), pictureDir());
        EXPECT_EQ(QDir::currentPath(), pictureDir());
        EXPECT_EQ(FPliki->FLBox1->directory().toText(), pictureDir());
        EXPECT_EQ(FPliki->FLBox1->entries(), QStringList {u"a.jpg"_s});
        EXPECT_EQ(FMain->lblKatalog->text(), QDir(pictureDir()).dirName());
    }
    // Clicking the listed file still shows it.
    FMain->mnuNastepny->trigger();
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty());
    EXPECT_TRUE(FFotka->isVisible());
}

TEST_F(WindowsTest, AFolderNotInUtf8OpensAsRememberedButTheChooserCannotGiveIt)
{
    const QByteArray bytes = testing_support::fileBytes(writePicture(u"a.jpg"_s));
    const QString picture = m_pictures.writeNamed("Zdj\352cia/\277aba.jpg", bytes);
    openDirectory(picture.section(u'/', 0, -2));
    EXPECT_EQ(FMain->lblKatalog->text(), u"Zdjęcia"_s);
    EXPECT_EQ(FPliki->FLBox1->model()->index(0, 0).data().toString(), u"żaba.jpg"_s);
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(state().lblPlik->text(), picture);
    EXPECT_TRUE(dialogTexts(Kind::Error).isEmpty() && FFotka->isVisible());
    // The chooser reads that name as UTF-8, with U+FFFD for its byte: refused, nothing changes.
    m_dialogs->queue(pictureDir() + u"/Zdj\uFFFDcia"_s);
    FMain->mnuKatalog->trigger();
    ASSERT_EQ(dialogTexts(Kind::Error).size(), 1);
    EXPECT_TRUE(dialogTexts(Kind::Error)[0].startsWith(u"Nie mogę otworzyć wybranego katalogu"));
    EXPECT_EQ(state().lblDir->text(), picture.section(u'/', 0, -2));
    m_dialogs->queue(std::monostate {});
    FMain->mnuKatalog->trigger();
    EXPECT_EQ(m_dialogs->lastPreselect(), QString());
}

TEST_F(WindowsTest, ChangingLabelsExposeTheirShownTextToAssistiveTechnology)
{
    const auto accessibleName = [](QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QString();
    };
    writePicture(u"a.jpg"_s);
    writePicture(u"b.jpg"_s);
    openDirectory(pictureDir());
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(accessibleName(FMain->lblKatalog), QDir(pictureDir()).dirName());
    EXPECT_EQ(accessibleName(FMain->lblNa_pliku), u"1 / 2");
    FMain->mnuNastepny->trigger();
    EXPECT_EQ(accessibleName(FMain->lblNa_pliku), u"2 / 2");
    EXPECT_EQ(FMain->lblKatalog->accessibleDescription(), u"Nazwa otwartego katalogu");
    EXPECT_EQ(FMain->lblNa_pliku->accessibleDescription(), u"Pozycja bieżącego obrazu i liczba obrazów");
}

TEST_F(WindowsTest, SettingsFileValuesReachTheStateAndTheControls)
{
    testing_support::TempDir folder;
    const QString path = folder.write(u"Zelkavio.ini"_s,
        "[Kolor]\r\nPlanszy=255\r\n[Fotka]\r\nLeft=\r\n[Plik]\r\nRepetuj=1\r\nNazwa=/tmp/gdzies\r\n"
        "[Fonty]\r\nFontStyle=3\r\n");
    FMain->applySettings(settings::readSettings(path));
    EXPECT_EQ(FMain->backdropColour(), QColor(255, 0, 0));
    EXPECT_EQ(FMain->Panel1->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(FMain->pnlDolny->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(state().lblLewaFotka->text(), QString());
    EXPECT_EQ(state().lblTopFotka->text(), u"20");
    EXPECT_EQ(state().lblLewa->text(), u"10");
    EXPECT_EQ(state().lblTop->text(), u"20");
    EXPECT_EQ(state().lblSzer->text(), u"630");
    EXPECT_EQ(state().lblWys->text(), u"122");
    EXPECT_EQ(state().lblDir->text(), u"/tmp/gdzies");
    EXPECT_TRUE(FMain->CheckRepetuj->isChecked());
    const QFont font = state().pnlKolor->font();
    EXPECT_EQ(font.family(), u"Arial");
    EXPECT_EQ(font.pointSize(), 14);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(state().pnlKolor->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(FMain->panelTextColour(), QColor(128, 0, 0));
}

TEST_F(WindowsTest, AnEmptySettingsFileGivesEveryDefault)
{
    testing_support::TempDir folder;
    // Every value checked below differs from its default first, so each default must really be put back.
    FMain->applySettings(settings::readSettings(folder.write(u"Zelkavio.ini"_s,
        "[Kolor]\r\nPlanszy=255\r\nOkna=65280\r\n[Fotka]\r\nLeft=77\r\n[Pismo]\r\nTop=88\r\n"
        "[Plik]\r\nRepetuj=1\r\nNazwa=/tmp/gdzies\r\n")));
    ASSERT_TRUE(FMain->CheckRepetuj->isChecked());
    ASSERT_NE(state().pnlKolor->palette().color(QPalette::Window), QColor(Qt::black));
    FMain->applySettings(settings::readSettings(folder.write(u"Zelkavio.ini"_s, "")));
    EXPECT_EQ(FMain->backdropColour(), QColor(128, 128, 128));
    EXPECT_EQ(state().lblLewaFotka->text(), u"10");
    EXPECT_EQ(state().lblTop->text(), u"20");
    EXPECT_EQ(state().lblDir->text(), u"lblDir");
    EXPECT_FALSE(FMain->CheckRepetuj->isChecked());
    EXPECT_EQ(state().pnlKolor->palette().color(QPalette::Window), QColor(Qt::black));
}
