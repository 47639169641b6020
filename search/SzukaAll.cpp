#include "SzukaAll.h"

#include "hit_list.h"
#include "phrase_search.h"
#include "search_glyphs.h"

#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_names.h"
#include "platform/guard.h"
#include "platform/repaint_wait.h"
#include "viewer/Pliki.h"
#include "viewer/file_listing.h"
#include "viewer/viewer_state.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

QPointer<TFSzukaAll> FSzukaAll;

namespace {

/** A hint's part before "|" is the tooltip (only where `tooltip` allows it); the part after it describes the control.
 */
void applyHint(QWidget* control, const QString& hint, bool tooltip)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    if (tooltip)
        control->setToolTip(bar < 0 ? hint : hint.left(bar));
    if (bar >= 0)
        control->setAccessibleDescription(hint.mid(bar + 1));
}

QFrame* panel(QWidget* parent, const char* name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    // Lowered outer and inner bevels.
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(2);
    return frame;
}

QPushButton* glyphButton(QWidget* panel, const char* name, const QIcon& glyph, QRect geometry, const QString& hint,
    const QString& accessibleName)
{
    auto* button = new QPushButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(glyph);
    button->setIconSize(QSize(18, 18));
    button->setGeometry(geometry);
    button->setAccessibleName(accessibleName);
    applyHint(button, hint, true);
    return button;
}

/** Sets a label back to "0" on every way out of a search. */
class CounterReset {
public:
    explicit CounterReset(QLabel* counter)
        : m_counter(counter)
    {
    }
    ~CounterReset()
    {
        if (m_counter)
            m_counter->setText(QStringLiteral("0"));
    }
    CounterReset(const CounterReset&) = delete;
    CounterReset& operator=(const CounterReset&) = delete;

private:
    QPointer<QLabel> m_counter;
};

} // namespace

TFSzukaAll::TFSzukaAll(viewer::MainLink& main)
    : QWidget(nullptr, Qt::Tool)
    , m_main(main)
{
    setObjectName(QStringLiteral("FSzukaAll"));
    setWindowTitle(QStringLiteral("Szukanie"));
    setAccessibleName(QStringLiteral("Szukanie"));
    resize(211, 246);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(13);
    setFont(windowFont);
    createControls();
    connectHandlers();
}

TFSzukaAll::~TFSzukaAll() = default;

void TFSzukaAll::createControls()
{
    pnlGorny = panel(this, "pnlGorny");
    pnlGorny->setFixedHeight(62);
    StaticText1 = new QLabel(QStringLiteral("Znajdź:"), pnlGorny);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(8, 12, 47, 20);
    edFraza = new QLineEdit(pnlGorny);
    edFraza->setObjectName(QStringLiteral("edFraza"));
    edFraza->setAccessibleName(QStringLiteral("Fraza"));
    edFraza->setGeometry(56, 8, 97, 24);
    applyHint(edFraza, QStringLiteral("|Wprowadź tutaj poszukiwaną frazę"), false);
    StaticText1->setBuddy(edFraza);
    BitWyszukaj = glyphButton(pnlGorny, "BitWyszukaj", search::findGlyph(), QRect(160, 6, 33, 28),
        QStringLiteral("Rozpoczyna proces wyszukiwania"), QStringLiteral("Szukaj"));
    CheckBox1 = new QCheckBox(QStringLiteral("Uwzględnij &wielkość liter"), pnlGorny);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 38, 177, 17);
    applyHint(CheckBox1,
        QStringLiteral("|Zaznaczenie tego okienka (widoczny czarny znaczek) spowoduje wyszukiwanie frazy z "
                       "uwzględnieniem wielkości liter"),
        false);

    pnlSredni = panel(this, "pnlSredni");
    ListBoxResult = new QListWidget(pnlSredni);
    ListBoxResult->setObjectName(QStringLiteral("ListBoxResult"));
    ListBoxResult->setAccessibleName(QStringLiteral("Znalezione pliki"));
    ListBoxResult->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBoxResult->setSortingEnabled(false);
    applyHint(ListBoxResult,
        QStringLiteral("2 krotny klik uruchamia wybrany plik|W tym polu program stworzy zestawienie wszystkich plików "
                       "zawierających poszukiwaną frazę"),
        true);
    auto* middle = new QVBoxLayout(pnlSredni);
    middle->setContentsMargins(2, 2, 2, 2);
    middle->addWidget(ListBoxResult);

    pnlDolny = panel(this, "pnlDolny");
    pnlDolny->setFixedHeight(42);
    lblIndex = new QLabel(QStringLiteral("0"), pnlDolny);
    lblIndex->setObjectName(QStringLiteral("lblIndex"));
    lblIndex->move(8, 8);
    lblIndex->hide();
    BitUruchom = glyphButton(pnlDolny, "BitUruchom", search::openGlyph(), QRect(24, 8, 33, 28),
        QStringLiteral("Uruchamia wybrany plik"), QStringLiteral("Otwórz wybrany plik"));
    BitUsuwa = glyphButton(pnlDolny, "BitUsuwa", search::removeGlyph(), QRect(68, 8, 33, 28),
        QStringLiteral("Wybrany element (plik) zostaje usuniety z listy. Faktycznie istnieje nadal"),
        QStringLiteral("Usuń z listy"));
    BitZapisz = glyphButton(pnlDolny, "BitZapisz", search::saveGlyph(), QRect(110, 8, 33, 28),
        QStringLiteral("Zapis widocznego zestawienia do pliku pod dowolną nazwą"), QStringLiteral("Zapisz listę"));
    BitZamknij = glyphButton(pnlDolny, "BitZamknij", search::closeGlyph(), QRect(152, 8, 33, 28),
        QStringLiteral(" Zamyka to okno"), QStringLiteral("Zamknij okno"));
    for (QPushButton* button : {BitUruchom, BitUsuwa, BitZapisz})
        button->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlGorny);
    layout->addWidget(pnlSredni, 1);
    layout->addWidget(pnlDolny);

    QWidget* const order[]
        = {CheckBox1, edFraza, BitWyszukaj, ListBoxResult, BitUsuwa, BitZamknij, BitZapisz, BitUruchom};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFSzukaAll::connectHandlers()
{
    using platform::guard;
    connect(BitWyszukaj, &QPushButton::clicked, this, guard([this] { BitWyszukajClick(); }));
    connect(edFraza, &QLineEdit::returnPressed, this, guard([this] { BitWyszukajClick(); }));
    connect(BitUruchom, &QPushButton::clicked, this, guard([this] { BitUruchomClick(); }));
    connect(BitUsuwa, &QPushButton::clicked, this, guard([this] { BitUsuwaClick(); }));
    connect(BitZapisz, &QPushButton::clicked, this, guard([this] { BitZapiszClick(); }));
    connect(BitZamknij, &QPushButton::clicked, this, guard([this] { BitZamknijClick(); }));
    connect(ListBoxResult, &QListWidget::itemDoubleClicked, this, guard([this] { BitUruchomClick(); }));
    connect(ListBoxResult, &QListWidget::itemSelectionChanged, this, guard([this] {
        if (!m_selectingByProgram)
            ListBoxResultClick();
    }));
    ListBoxResult->installEventFilter(this);
    ListBoxResult->viewport()->installEventFilter(this);
}

void TFSzukaAll::FormShow()
{
    const QRect mainFrame = m_main.mainFrame();
    const QRect frame = frameGeometry();
    const int listWidth = FPliki ? FPliki->frameGeometry().width() : 0;
    move(mainFrame.left() + mainFrame.width() - frame.width() - listWidth - 32,
        mainFrame.top() + mainFrame.height() - frame.height() - 60);
    edFraza->clear();
    CheckBox1->setChecked(false);
    lblIndex->setText(QStringLiteral("0"));
    lblIndex->hide();
    clearHits();
    for (QPushButton* button : {BitUruchom, BitUsuwa, BitZapisz})
        button->setEnabled(false);
}

void TFSzukaAll::BitWyszukajClick()
{
    const platform::BusyCursor busy;
    const bool matchCase = CheckBox1->isChecked();
    clearHits();
    const viewer::FileListBox* list = FPliki->FLBox1;
    if (list->entryCount() == 0)
        return;
    const QString phrase = edFraza->text();
    const QStringList names = list->entries();
    const CounterReset reset(lblIndex);
    search::SearchResult result;
    {
        search::DirectorySearch run(list->directory().toText(), names, search::encodePhrase(phrase), matchCase);
        const QPointer<QLabel> counter(lblIndex);
        platform::waitRepaintingOnly([&](std::chrono::milliseconds timeout) {
            const bool done = run.waitFor(timeout);
            if (counter)
                counter->setText(QString::number(run.filesTaken()));
            return done;
        });
        if (!counter)
            return; // the windows were freed meanwhile (the program is ending)
        result = run.result();
    }
    for (const int index : result.hits) {
        addHit(names.at(index));
        BitZapisz->setEnabled(true);
    }
    if (result.failure)
        std::rethrow_exception(result.failure);
    lblIndex->setText(QStringLiteral("0"));
    platform::dialogs().message(search::summaryText(phrase, ListBoxResult->count()));
}

void TFSzukaAll::ListBoxResultClick()
{
    if (ListBoxResult->count() > 0)
        BitUruchom->setEnabled(true);
    BitUsuwa->setEnabled(true);
    BitZapisz->setEnabled(true);
}

namespace {

int selectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

} // namespace

void TFSzukaAll::BitUruchomClick()
{
    const int row = selectedRow(ListBoxResult);
    if (row < 0)
        return;
    const QString name = hitName(row);
    FPliki->CurrentName = name;
    viewer::FileListBox* list = FPliki->FLBox1;
    const QString path = (list->directory() / platform::FilePath::fromText(name)).toText();
    try {
        // Only a file of that name (found without regard to case, as the list finds names everywhere) is the hit:
        // the list must neither take a name with "*" or "?" for a mask nor move into a directory of that name.
        const viewer::ListPathTarget target = viewer::splitListPath(path, list->directory().toText());
        if (target.isMask || target.name.isEmpty()
            || !list->isListDirectory(platform::FilePath::fromText(target.directory)))
            throw platform::IoError(ENOENT, path);
        list->SetListPath(path);
    } catch (const platform::IoError&) {
        platform::dialogs().error(
            QStringLiteral("Plik  ") + platform::displayFileName(name) + QStringLiteral(" nie odnaleziony"));
        return;
    }
    FPliki->ShowCurrentPicture();
}

void TFSzukaAll::BitUsuwaClick()
{
    const int row = selectedRow(ListBoxResult);
    if (row < 0)
        return;
    const QString name = ListBoxResult->item(row)->text();
    if (!platform::dialogs().confirm(QStringLiteral("Usunąć \r\n") + name + QLatin1Char('?')))
        return;
    const QSignalBlocker quiet(ListBoxResult);
    delete ListBoxResult->takeItem(row);
    selectHit(std::min(row, ListBoxResult->count() - 1));
}

void TFSzukaAll::addHit(const QString& name)
{
    // The entry shows the name as the user reads it and keeps its exact bytes for opening and saving.
    auto* item = new QListWidgetItem(platform::displayFileName(name));
    item->setData(Qt::UserRole, name);
    ListBoxResult->addItem(item);
}

QString TFSzukaAll::hitName(int row) const
{
    return ListBoxResult->item(row)->data(Qt::UserRole).toString();
}

void TFSzukaAll::clearHits()
{
    // Emptying the list drops its selection, which is no click.
    m_selectingByProgram = true;
    ListBoxResult->clear();
    m_selectingByProgram = false;
}

void TFSzukaAll::selectHit(int row)
{
    m_selectingByProgram = true;
    ListBoxResult->clearSelection();
    if (row >= 0) {
        ListBoxResult->setCurrentRow(row);
        ListBoxResult->item(row)->setSelected(true);
    }
    m_selectingByProgram = false;
}

void TFSzukaAll::BitZapiszClick()
{
    const platform::FilePath workingDirectory = platform::currentDirectory();
    const std::optional<QString> chosen = platform::dialogs().chooseSaveFile(this, QStringLiteral("Zapisz jako"),
        m_lastSaveName, QStringLiteral("Plik tekstowy (*.txt);;Dowolny plik (*.*)"));
    // The file list's directory stays the working directory, wherever the dialog browsed.
    if (platform::currentDirectory() != workingDirectory)
        platform::setCurrentDirectory(workingDirectory);
    if (!chosen)
        return;
    // The dialog reads every name as UTF-8 and puts U+FFFD for the bytes that are not: such a folder is not the
    // one the user chose, and its true name cannot be had from the dialog.
    const QString folder = chosen->left(std::max<qsizetype>(chosen->lastIndexOf(u'/'), 1));
    if (folder.contains(QChar::ReplacementCharacter) && !platform::isDirectory(platform::FilePath::fromText(folder))) {
        platform::dialogs().error(
            QStringLiteral("Nie mogę zapisać listy w wybranym katalogu: jego nazwa albo nazwa katalogu nad nim nie "
                           "jest zapisana w UTF-8 (pochodzi np. ze starego dysku lub archiwum), a okno zapisu nie "
                           "przekazuje takich nazw. Wybierz inny katalog.\r\n")
            + *chosen);
        return;
    }
    m_lastSaveName = *chosen;
    QStringList names;
    for (int row = 0; row < ListBoxResult->count(); ++row)
        names << hitName(row);
    const QByteArray bytes = search::hitListFileBytes(names);
    platform::replaceFile(platform::FilePath::fromText(*chosen), {platform::asBytes(bytes)});
}

void TFSzukaAll::BitZamknijClick()
{
    close();
}

bool TFSzukaAll::FormKeyPress(int key)
{
    if (key != Qt::Key_Escape)
        return false;
    BitZamknijClick();
    return true;
}

void TFSzukaAll::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
    QWidget::showEvent(event);
}

bool TFSzukaAll::event(QEvent* event)
{
    // The first control in tab order takes the focus when none has had it yet.
    if (event->type() == QEvent::WindowActivate && !focusWidget())
        CheckBox1->setFocus(Qt::ActiveWindowFocusReason);
    return QWidget::event(event);
}

void TFSzukaAll::keyPressEvent(QKeyEvent* event)
{
    // Keys the controls leave alone come here; Esc among them, whichever control has the focus.
    bool taken = false;
    platform::guarded([&] { taken = FormKeyPress(event->key()); });
    if (taken)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TFSzukaAll::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBoxResult && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            platform::guarded([this] { BitUruchomClick(); });
            return true;
        }
        if (key == Qt::Key_Delete) {
            platform::guarded([this] { BitUsuwaClick(); });
            return true;
        }
    }
    // A click anywhere in the list, on an entry or below the last one.
    if (watched == ListBoxResult->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        platform::guarded([this] { ListBoxResultClick(); });
    return QWidget::eventFilter(watched, event);
}
