#include "Main.h"

#include "glyphs.h"
#include "windows.h"

#include "platform/audio_output.h"
#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_names.h"
#include "platform/guard.h"
#include "platform/key_router.h"
#include "platform/sizing_frame.h"
#include "platform/version.h"
#include "search/SzukaAll.h"
#include "settings/settings_file.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"
#include "viewer/Pliki.h"
#include "viewer/description_commands.h"
#include "viewer/description_field.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <utility>

QPointer<TFMain> FMain;

namespace {
// The sizing frame's width while the window is not maximised.
constexpr int kFrameWidth = 4;

QLabel* panelLabel(QWidget* panel, const char* name, const QString& text, int x, int width)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(QString::fromLatin1(name));
    // No fixed accessible name: assistive technology reads the label's text, which may change.
    label->setGeometry(x, 11, width, 16);
    return label;
}

QPushButton* glyphButton(QWidget* panel, const char* name, const QIcon& glyph, int glyphSize, int x,
    const QString& tooltip, const QString& accessibleName)
{
    auto* button = new QPushButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(glyph);
    button->setIconSize(QSize(glyphSize, glyphSize));
    button->setGeometry(x, 6, 28, 28);
    button->setToolTip(tooltip);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

/**
 * A menu item showing its (first) shortcut; the key router, not Qt's shortcut map, runs it by any of them (see
 * KeyRouter).
 */
QAction* menuItem(QWidget* menu, const char* name, const QString& caption, const QList<QKeySequence>& shortcuts)
{
    auto* action = new QAction(caption, menu);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcuts.isEmpty()) {
        action->setShortcuts(shortcuts);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    menu->addAction(action);
    return action;
}

QAction* menuItem(QWidget* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    return menuItem(menu, name, caption, shortcut.isEmpty() ? QList<QKeySequence>() : QList {shortcut});
}

QKeySequence ctrl(Qt::Key key, Qt::KeyboardModifiers more = {})
{
    return QKeySequence(QKeyCombination(Qt::ControlModifier | more, key));
}

QMenu* subMenu(QMenuBar* bar, const char* name, const QString& caption)
{
    auto* menu = new QMenu(caption, bar);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    bar->addMenu(menu);
    return menu;
}
} // namespace

TFMain::TFMain()
    : QMainWindow(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FMain"));
    setWindowTitle(QStringLiteral("Zelkavio wer. " ZELKAVIO_VERSION));
    setAccessibleName(windowTitle());
    setGeometry(193, 119, 1024, 768);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Backdrop"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAccessibleName(QStringLiteral("Tło"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    GroupBox1 = new viewer::ViewerState(Panel1);
    layout->addWidget(Panel1, 1);
    pnlDolny = new QFrame(central);
    pnlDolny->setObjectName(QStringLiteral("pnlDolny"));
    pnlDolny->setAccessibleName(QStringLiteral("Panel dolny"));
    pnlDolny->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlDolny->setFixedHeight(41);
    layout->addWidget(pnlDolny);
    setCentralWidget(central);
    FolderBrowse1 = new TFolderBrowse(this);
    FolderBrowse1->setObjectName(QStringLiteral("FolderBrowse1"));

    createBottomPanel();
    createMenus();
    connectHandlers();
    new platform::SizingFrame(this, kFrameWidth);
    setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
    platform::guarded([this] { FormCreate(); });
}

TFMain::~TFMain() = default;

void TFMain::createBottomPanel()
{
    QFont panelFont(QStringLiteral("MS Sans Serif"), 8);
    panelFont.setBold(true);
    pnlDolny->setFont(panelFont);

    StaticText1 = panelLabel(pnlDolny, "StaticText1", QStringLiteral("Katalog:"), 8, 54);
    lblKatalog = panelLabel(pnlDolny, "lblKatalog", QStringLiteral("brak"), 64, 124);
    lblKatalog->setAccessibleDescription(QStringLiteral("Nazwa otwartego katalogu"));
    StaticText2 = panelLabel(pnlDolny, "StaticText2", QStringLiteral("Plików/Plik:"), 192, 78);
    lblNa_pliku = panelLabel(pnlDolny, "lblNa_pliku", QStringLiteral("00"), 272, 70);
    lblNa_pliku->setAccessibleDescription(QStringLiteral("Pozycja bieżącego obrazu i liczba obrazów"));
    BitPoprzedni = glyphButton(pnlDolny, "BitPoprzedni", app::arrowGlyph(false), 16, 344,
        QStringLiteral("Pokaz poprzedniego obrazu"), QStringLiteral("Poprzedni obraz"));
    BitKolejny = glyphButton(pnlDolny, "BitKolejny", app::arrowGlyph(true), 16, 376,
        QStringLiteral("Pokaz następnego obrazy"), QStringLiteral("Następny obraz"));
    BitAuto = glyphButton(pnlDolny, "BitAuto", app::photoGlyph(), 17, 408,
        QStringLiteral("Uruchamia automatyczny pokaz"), QStringLiteral("Automatyczny pokaz"));
    BitStop = glyphButton(pnlDolny, "BitStop", app::stopGlyph(), 20, 440,
        QStringLiteral("Zatrzymuje automatyczny pokaz"), QStringLiteral("Zatrzymanie pokazu"));
    StaticText4 = panelLabel(pnlDolny, "StaticText4", QStringLiteral("Czas pokazu:"), 496, 84);

    SpinEdit1 = new QSpinBox(pnlDolny);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setAccessibleName(QStringLiteral("Czas pokazu w sekundach"));
    // The delay has no bounds: 0 and negative values may be typed.
    SpinEdit1->setRange(INT_MIN, INT_MAX);
    SpinEdit1->setValue(3);
    SpinEdit1->setGeometry(584, 8, 49, 24);

    CheckRepetuj = new QCheckBox(QStringLiteral("Powtarzaj"), pnlDolny);
    CheckRepetuj->setObjectName(QStringLiteral("CheckRepetuj"));
    CheckRepetuj->setAccessibleName(QStringLiteral("Powtarzaj"));
    CheckRepetuj->setToolTip(QStringLiteral("Powtarza pokaz od poczatku katalogu"));
    CheckRepetuj->setGeometry(664, 10, 120, 20);

    StaticText3 = panelLabel(pnlDolny, "StaticText3", QStringLiteral("Siła głosu:"), 808, 70);
    SB1 = new QScrollBar(Qt::Horizontal, pnlDolny);
    SB1->setObjectName(QStringLiteral("SB1"));
    SB1->setAccessibleName(QStringLiteral("Siła głosu"));
    SB1->setRange(0, 65535);
    SB1->setValue(32723);
    SB1->setSingleStep(10);
    SB1->setPageStep(1);
    SB1->setGeometry(880, 11, 121, 17);
    // The arrows, Home and End move the bar once it has the focus. A QScrollBar inverts its keys so that Up
    // moves a vertical bar towards its top; on this horizontal bar that would send Left to the right. Left
    // and Down lower the volume, Right and Up raise it.
    SB1->setFocusPolicy(Qt::StrongFocus);
    SB1->setInvertedControls(false);
}

void TFMain::createMenus()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setAccessibleName(QStringLiteral("Menu główne"));
    // The menu bar keeps the system's colours whatever the backdrop's colour.
    MainMenu1->setPalette(QApplication::palette(MainMenu1));
    setMenuBar(MainMenu1);

    mnuKatalog = menuItem(MainMenu1, "mnuKatalog", QStringLiteral("&Katalog"));
    mnuEdycja = subMenu(MainMenu1, "mnuEdycja", QStringLiteral("&Edycja"));
    mnuPoprzedni = menuItem(
        mnuEdycja, "mnuPoprzedni", QStringLiteral("Poprzedni obraz"), QKeySequence(QStringLiteral("Ctrl+P")));
    mnuNastepny
        = menuItem(mnuEdycja, "mnuNastepny", QStringLiteral("Następny obraz"), QKeySequence(QStringLiteral("Ctrl+N")));
    mnuAuto = menuItem(
        mnuEdycja, "mnuAuto", QStringLiteral("Automatyczny pokaz obrazów"), QKeySequence(QStringLiteral("Ctrl+A")));
    mnuStop = menuItem(mnuEdycja, "mnuStop", QStringLiteral("Zatrzymanie (STOP) pokazu"), QKeySequence(Qt::Key_F10));
    mnuEdycja->addSeparator();
    mnuPokazOpis = menuItem(mnuEdycja, "mnuPokazOpis", QStringLiteral("Pokaż pole opisów"));
    mnuUkryjOapisy = menuItem(mnuEdycja, "mnuUkryjOapisy", QStringLiteral("Ukryj  pole opisów"));
    mnuEdycja->addSeparator();
    mnuZapis = menuItem(mnuEdycja, "mnuZapis", QStringLiteral("Zapis opisu"), QKeySequence(QStringLiteral("Ctrl+Z")));
    mnuKasuj = menuItem(mnuEdycja, "mnuKasuj", QStringLiteral("Kasuj opis"), QKeySequence(QStringLiteral("Ctrl+K")));
    mnuPodkatalog = menuItem(mnuEdycja, "mnuPodkatalog", QStringLiteral("Podkatalog"));
    mnuPodkatalog->setVisible(false);
    mnuEdycja->addSeparator();
    mnuSzuka = menuItem(mnuEdycja, "mnuSzuka", QStringLiteral("Znajdź &Frazę"), QKeySequence(QStringLiteral("Ctrl+F")));
    mnuUstaw = subMenu(MainMenu1, "mnuUstaw", QStringLiteral("&Ustawienia"));
    mnuKolor_Ekranu = menuItem(mnuUstaw, "mnuKolor_Ekranu", QStringLiteral("Kolor ekranu"));
    mnuKolor = menuItem(mnuUstaw, "mnuKolor", QStringLiteral("Kolor pola opisów"));
    mnuFonty = menuItem(mnuUstaw, "mnuFonty", QStringLiteral("Fonty (czcionka) opisów"));
    mnuLitery = menuItem(mnuUstaw, "mnuLitery", QStringLiteral("Kolor fontów dolnego panela"));
    mnuUstaw->addSeparator();
    mnuZapisSetup = menuItem(mnuUstaw, "mnuZapisSetup", QStringLiteral("Zapis ustawień"));
    mnuPomoc = subMenu(MainMenu1, "mnuPomoc", QStringLiteral("&Pomoc"));
    mnuFAQ = menuItem(mnuPomoc, "mnuFAQ", QStringLiteral("Wskazówki dla obsługi programu"), QKeySequence(Qt::Key_F1));
    mnuAutor = menuItem(mnuPomoc, "mnuAutor", QStringLiteral("Autor programu"));
    mnuKoniec = menuItem(MainMenu1, "mnuKoniec", QStringLiteral("&Koniec"), QKeySequence(QStringLiteral("Ctrl+X")));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setAccessibleName(QStringLiteral("Menu podręczne"));
    pupKatalog = menuItem(PopupMenu1, "pupKatalog", QStringLiteral("Katalog"), QKeySequence(QStringLiteral("Ctrl+D")));
    PopupMenu1->addSeparator();
    pupSzuka = menuItem(PopupMenu1, "pupSzuka", QStringLiteral("Znajdź frazę"), QKeySequence(QStringLiteral("Ctrl+F")));
    PopupMenu1->addSeparator();
    pupPoprzedni = menuItem(PopupMenu1, "pupPoprzedni", QStringLiteral("Pokaz poprzedniego obrazu"),
        QKeySequence(QStringLiteral("Ctrl+P")));
    pupNastepny = menuItem(
        PopupMenu1, "pupNastepny", QStringLiteral("Pokaz następnego obrazu"), QKeySequence(QStringLiteral("Ctrl+N")));
    pupAuto = menuItem(
        PopupMenu1, "pupAuto", QStringLiteral("Automatyczny pokaz obrazów"), QKeySequence(QStringLiteral("Ctrl+A")));
    pupStop = menuItem(PopupMenu1, "pupStop", QStringLiteral("Zatrzymanie (STOP) pokazu"), QKeySequence(Qt::Key_F10));
    PopupMenu1->addSeparator();
    pupKasujOpis
        = menuItem(PopupMenu1, "pupKasujOpis", QStringLiteral("Kasuj opis"), QKeySequence(QStringLiteral("Ctrl+K")));
    pupZapiszOpis
        = menuItem(PopupMenu1, "pupZapiszOpis", QStringLiteral("Zapisz opis"), QKeySequence(QStringLiteral("Ctrl+Z")));
    PopupMenu1->addSeparator();
    pupPokazNapisy = menuItem(PopupMenu1, "pupPokazNapisy", QStringLiteral("Pokaż pole opisów"));
    pupUkryjNapisy = menuItem(PopupMenu1, "pupUkryjNapisy", QStringLiteral("Ukryj pole opisów"));
    PopupMenu1->addSeparator();
    pupUndo = menuItem(PopupMenu1, "pupUndo", QStringLiteral("Cofnij zmiany tekstu"));
    pupCopy = menuItem(PopupMenu1, "pupCopy", QStringLiteral("Kopiuj do schowka"));
    pupCut = menuItem(PopupMenu1, "pupCut", QStringLiteral("Wytnij do schowka"));
    pupPaste = menuItem(PopupMenu1, "pupPaste", QStringLiteral("Wstaw tekst"));
    PopupMenu1->addSeparator();
    pupKoniec = menuItem(PopupMenu1, "pupKoniec", QStringLiteral("Koniec"), QKeySequence(QStringLiteral("Ctrl+X")));
    PopupMenu1->addSeparator();
    // Keypad keys reach the router without their keypad flag, so Ctrl+keypad 0, + and − are the same keys as these.
    pupDopasuj = menuItem(PopupMenu1, "pupDopasuj", QStringLiteral("Dopasuj obraz do ekranu"), ctrl(Qt::Key_0));
    pupDopasuj->setCheckable(true);
    pupPowieksz = menuItem(PopupMenu1, "pupPowieksz", QStringLiteral("Powiększ obraz"),
        QList {ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal), ctrl(Qt::Key_Equal, Qt::ShiftModifier),
            ctrl(Qt::Key_Plus, Qt::ShiftModifier)});
    pupPomniejsz = menuItem(PopupMenu1, "pupPomniejsz", QStringLiteral("Pomniejsz obraz"),
        QList {ctrl(Qt::Key_Minus), ctrl(Qt::Key_Underscore, Qt::ShiftModifier)});

    auto& router = platform::KeyRouter::instance();
    router.setMainWindow(this, MainMenu1);
    router.setPopupMenu(this, PopupMenu1);
    router.setPopupMenu(Panel1, PopupMenu1);
}

void TFMain::connectHandlers()
{
    using platform::guard;
    connect(mnuKatalog, &QAction::triggered, this, guard([this] { mnuKatalogClick(); }));
    connect(mnuPoprzedni, &QAction::triggered, this, guard([this] { mnuPoprzedniClick(); }));
    connect(mnuNastepny, &QAction::triggered, this, guard([this] { mnuNastepnyClick(); }));
    connect(mnuAuto, &QAction::triggered, this, guard([this] { mnuAutoClick(); }));
    connect(mnuStop, &QAction::triggered, this, guard([this] { mnuStopClick(); }));
    connect(mnuPodkatalog, &QAction::triggered, this, guard([this] { mnuPodkatalogClick(); }));
    connect(mnuAutor, &QAction::triggered, this, guard([this] { mnuAutorClick(); }));
    connect(mnuSzuka, &QAction::triggered, this, guard([this] { mnuSzukaClick(); }));
    connect(mnuKoniec, &QAction::triggered, this, guard([this] { mnuKoniecClick(); }));
    connect(mnuKolor_Ekranu, &QAction::triggered, this, guard([this] { mnuKolor_EkranuClick(); }));
    connect(mnuKolor, &QAction::triggered, this, guard([this] { mnuKolorClick(); }));
    connect(mnuFonty, &QAction::triggered, this, guard([this] { mnuFontyClick(); }));
    connect(mnuLitery, &QAction::triggered, this, guard([this] { mnuLiteryClick(); }));
    connect(mnuZapisSetup, &QAction::triggered, this, guard([this] { mnuZapisSetupClick(); }));
    connect(mnuFAQ, &QAction::triggered, this, guard([this] { mnuFAQClick(); }));

    connect(pupKatalog, &QAction::triggered, this, guard([this] { pupKatalogClick(); }));
    connect(pupSzuka, &QAction::triggered, this, guard([this] { mnuSzuka->trigger(); }));
    connect(pupPoprzedni, &QAction::triggered, this, guard([this] { BitPoprzedniClick(); }));
    connect(pupNastepny, &QAction::triggered, this, guard([this] { BitKolejnyClick(); }));
    connect(pupAuto, &QAction::triggered, this, guard([this] { BitAutoClick(); }));
    connect(pupStop, &QAction::triggered, this, guard([this] { BitStopClick(); }));
    connect(pupKoniec, &QAction::triggered, this, guard([this] { pupKoniecClick(); }));
    connect(pupDopasuj, &QAction::triggered, this, guard([this] { pupDopasujClick(); }));
    connect(pupPowieksz, &QAction::triggered, this, guard([this] { pupPowiekszClick(); }));
    connect(pupPomniejsz, &QAction::triggered, this, guard([this] { pupPomniejszClick(); }));

    connect(mnuZapis, &QAction::triggered, this, guard([this] { mnuZapisClick(); }));
    connect(pupZapiszOpis, &QAction::triggered, this, guard([this] { pupZapiszOpisClick(); }));
    connect(mnuKasuj, &QAction::triggered, this, guard([this] { mnuKasujClick(); }));
    connect(pupKasujOpis, &QAction::triggered, this, guard([this] { pupKasujOpisClick(); }));
    connect(pupUndo, &QAction::triggered, this, guard([this] { pupUndoClick(); }));
    connect(pupCopy, &QAction::triggered, this, guard([this] { pupCopyClick(); }));
    connect(pupCut, &QAction::triggered, this, guard([this] { pupCutClick(); }));
    connect(pupPaste, &QAction::triggered, this, guard([this] { pupPasteClick(); }));
    connect(mnuPokazOpis, &QAction::triggered, this, guard([this] { mnuPokazOpisClick(); }));
    connect(pupPokazNapisy, &QAction::triggered, this, guard([this] { pupPokazNapisyClick(); }));
    connect(mnuUkryjOapisy, &QAction::triggered, this, guard([this] { mnuUkryjOapisyClick(); }));
    connect(pupUkryjNapisy, &QAction::triggered, this, guard([this] { pupUkryjNapisyClick(); }));

    connect(BitPoprzedni, &QPushButton::clicked, this, guard([this] { BitPoprzedniClick(); }));
    connect(BitKolejny, &QPushButton::clicked, this, guard([this] { BitKolejnyClick(); }));
    connect(BitAuto, &QPushButton::clicked, this, guard([this] { BitAutoClick(); }));
    connect(BitStop, &QPushButton::clicked, this, guard([this] { BitStopClick(); }));
    // Connected after the start position is set, so start-up leaves the volume alone.
    connect(SB1, &QScrollBar::valueChanged, this, guard([this] { SB1Change(); }));
}

void TFMain::FormCreate()
{
    // The panels show the window's colour, so a new backdrop colour shows through them.
    Panel1->setAutoFillBackground(true);
    pnlDolny->setAutoFillBackground(true);
    setBackdropColour(QColor(128, 128, 128));
    setPanelTextColour(QColor(128, 0, 0));
    if (platform::isRegularFile(platform::FilePath::fromText(settings::settingsFilePath())))
        ReadSettings();
}

void TFMain::ReadSettings()
{
    // The file is released by the read itself; the window is repainted whatever happens.
    struct Repaint {
        QWidget* window;
        ~Repaint() { window->update(); }
    } repaint {this};
    applySettings(settings::readSettings(settings::settingsFilePath()));
}

void TFMain::applySettings(const settings::Settings& values)
{
    viewer::ViewerState& state = *GroupBox1;
    state.lblLewaFotka->setText(values.fotkaLeft);
    state.lblTopFotka->setText(values.fotkaTop);
    state.lblLewa->setText(values.pismoLeft);
    state.lblTop->setText(values.pismoTop);
    state.lblSzer->setText(values.pismoWidth);
    state.lblWys->setText(values.pismoHeight);
    setBackdropColour(settings::colourFromValue(values.screenColour));
    QPalette kolor = state.pnlKolor->palette();
    kolor.setColor(QPalette::Window, settings::colourFromValue(values.fieldColour));
    setPanelTextColour(settings::colourFromValue(values.panelTextColour));
    QFont font = state.pnlKolor->font();
    font.setFamily(values.fontName);
    kolor.setColor(QPalette::WindowText, settings::colourFromValue(values.fontColour));
    if (values.fontSize > 0)
        font.setPointSize(values.fontSize);
    settings::applyFontStyle(font, values.fontStyle & 0xFF);
    state.pnlKolor->setPalette(kolor);
    state.pnlKolor->setFont(font);
    state.lblDir->setText(values.directory);
    CheckRepetuj->setChecked(values.repeat);
    state.dopasuj = values.fit;
    pupDopasuj->setChecked(values.fit);
}

QColor TFMain::backdropColour() const
{
    return palette().color(QPalette::Window);
}

void TFMain::setBackdropColour(const QColor& colour)
{
    QPalette backdrop = palette();
    backdrop.setColor(QPalette::Window, colour);
    setPalette(backdrop);
    MainMenu1->setPalette(QApplication::palette(MainMenu1));
}

QColor TFMain::panelTextColour() const
{
    return pnlDolny->palette().color(QPalette::WindowText);
}

void TFMain::setPanelTextColour(const QColor& colour)
{
    QPalette text = pnlDolny->palette();
    text.setColor(QPalette::WindowText, colour);
    pnlDolny->setPalette(text);
}

void TFMain::setStartFolder(const QString& folder, const QString& picture)
{
    m_startFolder = folder;
    m_startPicture = picture;
}

void TFMain::FormShow()
{
    // A folder given on the command line takes the remembered one's place, as if chosen through "Katalog".
    if (const QString folder = std::exchange(m_startFolder, {}); !folder.isEmpty()) {
        FolderBrowse1->Directory = folder;
        openDirectory(folder);
        // Shown once the windows are up, as a click on the entry would show it.
        if (!m_startPicture.isEmpty())
            QMetaObject::invokeMethod(this, platform::guard([this] { showStartPicture(); }), Qt::QueuedConnection);
        return;
    }
    if (platform::isDirectory(platform::FilePath::fromText(GroupBox1->lblDir->text())))
        mnuPodkatalogClick();
}

void TFMain::showStartPicture()
{
    const QString name = std::exchange(m_startPicture, {});
    viewer::FileListBox* list = FPliki->FLBox1;
    // Only a listed entry is selected: any other name would become the list's mask.
    if (!list->entries().contains(name)) {
        platform::dialogs().error(
            QStringLiteral("Plik %1 nie jest obrazem z listy tego katalogu (BMP, JPEG, EMF, WMF).")
                .arg(platform::displayFileName(name)));
        return;
    }
    list->SetListPath((list->directory() / platform::FilePath::fromText(name)).toText());
    FPliki->FLBox1Click();
}

void TFMain::FormClose()
{
    // No tick may run against windows that are being freed.
    if (FPliki)
        FPliki->Show.stop();
    for (QWidget* window :
        {static_cast<QWidget*>(FFotka), static_cast<QWidget*>(FPismo), static_cast<QWidget*>(FPliki)}) {
        if (window)
            window->hide();
    }
    // Every window is freed once control has left the handlers (Ctrl+X may come from a viewer window's).
    QMetaObject::invokeMethod(qApp, &app::destroyWindows, Qt::QueuedConnection);
}

void TFMain::mnuKatalogClick()
{
    if (!FolderBrowse1->Execute(FFotka))
        return;
    openDirectory(FolderBrowse1->Directory);
}

void TFMain::openDirectory(const QString& directory)
{
    // The chosen directory is noted only once it has been listed: a directory that cannot be read changes
    // nothing, not even the remembered path.
    FPliki->FLBox1->SetListPath(directory);
    GroupBox1->lblDir->setText(directory);
    mnuPodkatalogClick();
}

void TFMain::mnuPodkatalogClick()
{
    const QString directory = GroupBox1->lblDir->text();
    FPliki->FLBox1->SetListPath(directory);
    lblKatalog->setText(platform::displayFileName(directory.mid(directory.lastIndexOf(QLatin1Char('/')) + 1)));
    viewer::showWindow(FPliki);
}

void TFMain::mnuKoniecClick()
{
    close();
}

void TFMain::mnuAutorClick()
{
    platform::dialogs().message(QStringLiteral("Program Zelkavio wer. " ZELKAVIO_VERSION " napisał zespół Zelkavio.\n"
                                               "Strona internetowa programu: ")
        + QStringLiteral(ZELKAVIO_HOMEPAGE));
}

void TFMain::mnuSzukaClick()
{
    if (FPliki->FLBox1->entryCount() == 0) {
        platform::dialogs().message(QStringLiteral("Nie widzę plików w wybranym katalogu"));
        return;
    }
    const platform::BusyCursor busy;
    viewer::showWindow(FSzukaAll);
}

void TFMain::BitAutoClick()
{
    // The show has one handler, reached through its menu item.
    mnuAuto->trigger();
}

void TFMain::BitStopClick()
{
    mnuStop->trigger();
}

void TFMain::mnuAutoClick()
{
    FPliki->Show.start();
}

void TFMain::mnuStopClick()
{
    FPliki->Show.stop();
}

void TFMain::SB1Change()
{
    const auto position = std::uint16_t(SB1->value());
    platform::setWaveVolume(position, position);
}

void TFMain::attachPopupMenu(QWidget* control)
{
    platform::KeyRouter::instance().setPopupMenu(control, PopupMenu1);
}

void TFMain::setCounter(int selectedIndex, int count)
{
    lblNa_pliku->setText(viewer::counterText(selectedIndex, count));
}

int TFMain::showDelaySeconds() const
{
    return SpinEdit1->value();
}

void TFMain::setShowDelaySeconds(int seconds)
{
    SpinEdit1->setValue(seconds);
}

bool TFMain::repeatShow() const
{
    return CheckRepetuj->isChecked();
}

void TFMain::mnuPoprzedniClick()
{
    viewer::FileListBox* list = FPliki->FLBox1;
    const int selected = list->selectedIndex();
    if (list->entryCount() == 0 || selected <= 0)
        return;
    FPliki->Show.stop();
    list->selectIndex(selected - 1);
    FPliki->ShowCurrentPicture();
}

void TFMain::mnuNastepnyClick()
{
    viewer::FileListBox* list = FPliki->FLBox1;
    const int count = list->entryCount();
    const int selected = list->selectedIndex();
    if (count == 0 || selected >= count - 1)
        return;
    list->selectIndex(selected + 1);
    FPliki->ShowCurrentPicture();
}

void TFMain::mnuZapisClick()
{
    viewer::saveDescription(*this);
}

void TFMain::mnuKasujClick()
{
    viewer::deleteDescription(*this);
}

void TFMain::pupUndoClick()
{
    FPismo->Memo1->undo();
}

void TFMain::pupCopyClick()
{
    FPismo->Memo1->copy();
}

void TFMain::pupCutClick()
{
    FPismo->Memo1->cut();
}

void TFMain::pupPasteClick()
{
    FPismo->Memo1->paste();
}

void TFMain::mnuPokazOpisClick()
{
    viewer::showWindow(FPismo);
}

void TFMain::mnuUkryjOapisyClick()
{
    FPismo->hide();
}

void TFMain::pupDopasujClick()
{
    if (FFotka)
        FFotka->toggleFit();
    else
        GroupBox1->dopasuj = !GroupBox1->dopasuj;
    pupDopasuj->setChecked(GroupBox1->dopasuj);
}

void TFMain::pupPowiekszClick()
{
    FFotka->zoom(true);
}

void TFMain::pupPomniejszClick()
{
    FFotka->zoom(false);
}

void TFMain::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
    QMainWindow::showEvent(event);
}

void TFMain::closeEvent(QCloseEvent* event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
}

void TFMain::changeEvent(QEvent* event)
{
    // The sizing frame exists only while the window is not maximised.
    if (event->type() == QEvent::WindowStateChange) {
        const int margin = isMaximized() ? 0 : kFrameWidth;
        setContentsMargins(margin, margin, margin, margin);
    }
    QMainWindow::changeEvent(event);
}
