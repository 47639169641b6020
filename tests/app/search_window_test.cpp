#include "windows_fixture.h"

#include "platform/fault_injection.h"
#include "platform/key_router.h"
#include "platform/repaint_wait.h"
#include "viewer/file_listing.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>

#include <unistd.h>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class SearchWindowTest : public WindowsTest {
protected:
    /** A directory of described pictures opened in the file list; gives its path. */
    QString openPictures(const QList<std::pair<QString, QString>>& pictures)
    {
        for (const auto& [name, description] : pictures)
            writePicture(name, QSize(40, 30), Qt::red, description);
        openDirectory(pictureDir());
        return pictureDir();
    }

    void openSearch() { FMain->mnuSzuka->trigger(); }

    void search(const QString& phrase, bool matchCase = false)
    {
        FSzukaAll->edFraza->setText(phrase);
        FSzukaAll->CheckBox1->setChecked(matchCase);
        QTest::mouseClick(FSzukaAll->BitWyszukaj, Qt::LeftButton);
    }

    [[nodiscard]] static QStringList hits()
    {
        QStringList names;
        for (int row = 0; row < FSzukaAll->ListBoxResult->count(); ++row)
            names << FSzukaAll->ListBoxResult->item(row)->text();
        return names;
    }

    static void selectHit(int row)
    {
        QListWidget* list = FSzukaAll->ListBoxResult;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    [[nodiscard]] static int selectedHit()
    {
        const QList<QListWidgetItem*> selected = FSzukaAll->ListBoxResult->selectedItems();
        return selected.isEmpty() ? -1 : FSzukaAll->ListBoxResult->row(selected.front());
    }

    [[nodiscard]] static QString summary(const QString& phrase, int count)
    {
        return u"Przeszukiwanie frazy  \"%1\"  w plikach zostało zakończone.\r\n\r\n"
               u"            Znaleziono z taką frazą   %2  plików."_s.arg(phrase)
                   .arg(count);
    }

    [[nodiscard]] static std::vector<bool> buttonsEnabled()
    {
        return {
            FSzukaAll->BitUruchom->isEnabled(), FSzukaAll->BitUsuwa->isEnabled(), FSzukaAll->BitZapisz->isEnabled()};
    }
};

} // namespace

TEST_F(SearchWindowTest, OpensBesideTheFileListWithItsControlsAndResetsOnlyWhenItWasHidden)
{
    openSearch();
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {u"Nie widzę plików w wybranym katalogu"_s});
    EXPECT_FALSE(FSzukaAll->isVisible());

    openPictures({{u"a.jpg"_s, u"zamek"_s}, {u"b.jpg"_s, u"las"_s}});
    openSearch();
    ASSERT_TRUE(FSzukaAll->isVisible());
    // The controls as the window opens: names, places, hints and tab order.
    struct Control {
        const char* name;
        QRect geometry;
        QString tooltip;
        QString description;
    };
    const Control controls[] = {
        {"edFraza", QRect(56, 8, 97, 24), QString(), u"Wprowadź tutaj poszukiwaną frazę"_s},
        {"BitWyszukaj", QRect(160, 6, 33, 28), u"Rozpoczyna proces wyszukiwania"_s, QString()},
        {"CheckBox1", QRect(8, 38, 177, 17), QString(),
            u"Zaznaczenie tego okienka (widoczny czarny znaczek) spowoduje wyszukiwanie frazy z uwzględnieniem "
            u"wielkości liter"_s},
        {"BitUruchom", QRect(24, 8, 33, 28), u"Uruchamia wybrany plik"_s, QString()},
        {"BitUsuwa", QRect(68, 8, 33, 28),
            u"Wybrany element (plik) zostaje usuniety z listy. Faktycznie istnieje nadal"_s, QString()},
        {"BitZapisz", QRect(110, 8, 33, 28), u"Zapis widocznego zestawienia do pliku pod dowolną nazwą"_s, QString()},
        {"BitZamknij", QRect(152, 8, 33, 28), u" Zamyka to okno"_s, QString()},
    };
    for (const Control& c : controls) {
        auto* widget = FSzukaAll->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        EXPECT_EQ(widget->toolTip(), c.tooltip) << c.name;
        EXPECT_EQ(widget->accessibleDescription(), c.description) << c.name;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_TRUE(button->text().isEmpty()) << c.name;
            EXPECT_FALSE(button->icon().isNull()) << c.name;
            EXPECT_FALSE(button->accessibleName().isEmpty()) << c.name;
        }
    }
    EXPECT_EQ(FSzukaAll->windowTitle(), u"Szukanie");
    EXPECT_EQ(FSzukaAll->CheckBox1->text(), u"Uwzględnij &wielkość liter");
    EXPECT_EQ(FSzukaAll->ListBoxResult->toolTip(), u"2 krotny klik uruchamia wybrany plik");
    EXPECT_EQ(FSzukaAll->ListBoxResult->accessibleDescription(),
        u"W tym polu program stworzy zestawienie wszystkich plików zawierających poszukiwaną frazę");
    EXPECT_EQ(FSzukaAll->pnlGorny->height(), 62);
    EXPECT_EQ(FSzukaAll->pnlDolny->height(), 42);
    EXPECT_FALSE(FSzukaAll->lblIndex->isVisibleTo(FSzukaAll));

    QStringList order;
    QWidget* widget = FSzukaAll->CheckBox1;
    for (int i = 0; i < 8; ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty())
            widget = widget->nextInFocusChain();
        order << widget->objectName();
    }
    EXPECT_EQ(order,
        (QStringList {u"CheckBox1"_s, u"edFraza"_s, u"BitWyszukaj"_s, u"ListBoxResult"_s, u"BitUsuwa"_s,
            u"BitZamknij"_s, u"BitZapisz"_s, u"BitUruchom"_s}));

    const QRect list = FPliki->frameGeometry();
    const QRect window = FSzukaAll->frameGeometry();
    EXPECT_EQ(window.right() + 1 + 20, list.left());
    EXPECT_EQ(window.bottom(), list.bottom());
    EXPECT_EQ(buttonsEnabled(), (std::vector<bool> {false, false, false}));

    search(u"ZAMEK"_s, true);
    search(u"zamek"_s, true);
    selectHit(0);
    // Ctrl+F typed in the search window reaches the main menu's command; the window is open already, so
    // everything stays.
    EXPECT_EQ(platform::KeyRouter::instance().route(FSzukaAll->edFraza, QKeySequence(u"Ctrl+F"_s)), FMain->mnuSzuka);
    FMain->mnuSzuka->trigger();
    EXPECT_EQ(FSzukaAll->edFraza->text(), u"zamek");
    EXPECT_TRUE(FSzukaAll->CheckBox1->isChecked());
    EXPECT_EQ(hits(), QStringList {u"a.jpg"_s});
    EXPECT_EQ(buttonsEnabled(), (std::vector<bool> {true, true, true}));

    QTest::mouseClick(FSzukaAll->BitZamknij, Qt::LeftButton);
    EXPECT_FALSE(FSzukaAll->isVisible());
    openSearch();
    EXPECT_EQ(FSzukaAll->edFraza->text(), u"");
    EXPECT_FALSE(FSzukaAll->CheckBox1->isChecked());
    EXPECT_EQ(hits(), QStringList {});
    EXPECT_EQ(FSzukaAll->lblIndex->text(), u"0");
    EXPECT_EQ(buttonsEnabled(), (std::vector<bool> {false, false, false}));
}

TEST_F(SearchWindowTest, SearchListsTheHitsInListOrderAndSumsUp)
{
    openPictures({{u"c.jpg"_s, u"Stary ZAMEK, zamek"_s}, {u"a.jpg"_s, u"zamek"_s}, {u"b.jpg"_s, u"las"_s},
        {u"d.jpg"_s, u"Zamek\r\nkrólewski"_s}, {u"e.jpg"_s, u"żółw"_s}});
    openSearch();
    struct Row {
        QString phrase;
        bool matchCase;
        QStringList found;
    };
    const Row rows[] = {
        {u"ZAMEK"_s, false, {u"a.jpg"_s, u"c.jpg"_s, u"d.jpg"_s}},
        {u"Zamek"_s, true, {u"d.jpg"_s}},
        {u"Zamek królewski"_s, false, {}},
        {u"ŻÓŁW"_s, false, {}},
        {u"żółw"_s, true, {u"e.jpg"_s}},
        {u""_s, false, {}},
        {u"@||@"_s, true, {u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s, u"e.jpg"_s}},
        {u"żółw🐢"_s, false, {}},
    };
    for (const Row& row : rows) {
        m_dialogs->clear();
        search(row.phrase, row.matchCase);
        EXPECT_EQ(hits(), row.found) << row.phrase.toStdString();
        EXPECT_EQ(dialogTexts(Kind::Message), QStringList {summary(row.phrase, int(row.found.size()))});
        EXPECT_EQ(FSzukaAll->lblIndex->text(), u"0");
    }
    // The search enables only the save button, and only when it finds something; a selected hit that a new search
    // clears away enables nothing either.
    EXPECT_EQ(buttonsEnabled(), (std::vector<bool> {false, false, true}));
    search(u"zamek"_s);
    FSzukaAll->ListBoxResult->item(0)->setSelected(true);
    FSzukaAll->BitUruchom->setEnabled(false);
    FSzukaAll->BitUsuwa->setEnabled(false);
    search(u"zamek"_s);
    EXPECT_EQ(buttonsEnabled(), (std::vector<bool> {false, false, true}));
}

TEST_F(SearchWindowTest, AFileThatCannotBeReadStopsTheSearchKeepingTheEarlierHits)
{
    const QString dir = openPictures({{u"a.jpg"_s, u"zamek"_s}, {u"b.jpg"_s, u"zamek"_s}, {u"c.jpg"_s, u"zamek"_s}});
    openSearch();
    {
        const platform::InjectedFailure failure(platform::FileOperation::ReadFile, dir + u"/b.jpg"_s, EACCES);
        search(u"zamek"_s);
    }
    EXPECT_EQ(hits(), QStringList {u"a.jpg"_s});
    EXPECT_EQ(dialogTexts(Kind::Message), QStringList {});
    const QStringList reports = dialogTexts(Kind::Report);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(u"b.jpg")) << reports[0].toStdString();
    EXPECT_EQ(FSzukaAll->lblIndex->text(), u"0");
    search(u"zamek"_s); // the next search starts again from the first file
    EXPECT_EQ(hits(), (QStringList {u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s}));
}

TEST_F(SearchWindowTest, RemovingAHitAsksAndSelectsTheEntryThatTakesItsPlace)
{
    openPictures({{u"a.jpg"_s, u"x"_s}, {u"b.jpg"_s, u"x"_s}, {u"c.jpg"_s, u"x"_s}});
    openSearch();
    struct Row {
        int remove;
        bool yes;
        QStringList left;
        int selected;
    };
    const Row rows[] = {
        {2, false, {u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s}, 2},
        {2, true, {u"a.jpg"_s, u"b.jpg"_s}, 1},
        {0, true, {u"b.jpg"_s}, 0},
        {0, true, {}, -1},
    };
    search(u"x"_s);
    for (const Row& row : rows) {
        selectHit(row.remove);
        const QString name = hits()[row.remove];
        m_dialogs->clear();
        m_dialogs->queue(row.yes);
        QTest::mouseClick(FSzukaAll->BitUsuwa, Qt::LeftButton);
        EXPECT_EQ(dialogTexts(Kind::Confirm), QStringList {u"Usunąć \r\n"_s + name + u"?"_s});
        EXPECT_EQ(hits(), row.left);
        EXPECT_EQ(selectedHit(), row.selected);
    }
    // The middle entry of three: the one after it moves into its place and is selected.
    search(u"x"_s);
    selectHit(1);
    m_dialogs->queue(true);
    QTest::keyClick(FSzukaAll->ListBoxResult, Qt::Key_Delete);
    EXPECT_EQ(hits(), (QStringList {u"a.jpg"_s, u"c.jpg"_s}));
    EXPECT_EQ(selectedHit(), 1);
    EXPECT_TRUE(QFileInfo::exists(pictureDir() + u"/b.jpg"_s)); // the file itself stays
}

TEST_F(SearchWindowTest, OpeningAHitShowsItAndLooksInTheListsDirectoryOfThatMoment)
{
    openPictures({{u"a.jpg"_s, u"Giewont"_s}, {u"b.jpg"_s, u"Giewont"_s}, {u"c.jpg"_s, u"Kasprowy"_s}});
    openSearch();
    search(u"giewont"_s);
    selectHit(1);
    QTest::mouseClick(FSzukaAll->BitUruchom, Qt::LeftButton);
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_EQ(FPliki->FLBox1->selectedIndex(), 1);
    EXPECT_EQ(memoText(), u"Giewont");
    EXPECT_TRUE(FFotka->isVisible());

    // Another directory: "A.JPG" there is found for "a.jpg" without regard to case; "b.jpg" is missing.
    testing_support::TempDir other;
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::blue);
    other.write(u"A.JPG"_s, testing_support::encodeJpeg(image) + "@||@inny");
    other.write(u"z.jpg"_s, testing_support::encodeJpeg(image));
    openDirectory(QDir(other.path({})).absolutePath());
    FPliki->FLBox1->selectIndex(1);
    FPliki->ShowCurrentPicture();
    selectHit(0);
    QTest::keyClick(FSzukaAll->ListBoxResult, Qt::Key_Return);
    EXPECT_EQ(FPliki->FLBox1->selectedIndex(), 0);
    EXPECT_EQ(memoText(), u"inny");

    const QString currentPath = FPliki->CurrentPath.toText();
    selectHit(1);
    QTest::mouseDClick(FSzukaAll->ListBoxResult->viewport(), Qt::LeftButton, {},
        FSzukaAll->ListBoxResult->visualItemRect(FSzukaAll->ListBoxResult->item(1)).center());
    EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Plik  b.jpg nie odnaleziony"_s});
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    EXPECT_EQ(FPliki->CurrentPath.toText(), currentPath);
    EXPECT_EQ(FPliki->FLBox1->selectedIndex(), 0);
}

TEST_F(SearchWindowTest, AGoneHitNamedLikeAMaskOrADirectoryChangesNothing)
{
    const QString dir = openPictures({{u"a.jpg"_s, u"Giewont"_s}, {u"b*.jpg"_s, u"Giewont"_s},
        {u"c?.jpg"_s, u"Giewont"_s}, {u"d.jpg"_s, u"Giewont"_s}, {u"e.jpg"_s, u"Giewont"_s}, {u"bx.jpg"_s, u"x"_s}});
    openSearch();
    search(u"giewont"_s);
    const QStringList gone {u"b*.jpg"_s, u"c?.jpg"_s, u"d.jpg"_s, u"e.jpg"_s};
    for (const QString& name : gone)
        ASSERT_TRUE(QFile::remove(m_pictures.path(name)));
    // Masks that would list other files; a directory of the name in another case, and in the same case.
    m_pictures.write(u"cx.jpg"_s, "x");
    ASSERT_TRUE(QDir(dir).mkdir(u"D.JPG"_s) && QDir(dir).mkdir(u"e.jpg"_s));
    FPliki->FLBox1->selectIndex(0);
    FPliki->ShowCurrentPicture();
    const QStringList entries = FPliki->FLBox1->entries();
    const QString path = FPliki->CurrentPath.toText();
    for (const QString& name : gone) {
        SCOPED_TRACE(name.toStdString());
        m_dialogs->clear();
        selectHit(int(hits().indexOf(name)));
        QTest::mouseClick(FSzukaAll->BitUruchom, Qt::LeftButton);
        EXPECT_EQ(dialogTexts(Kind::Error), QStringList {u"Plik  "_s + name + u" nie odnaleziony"_s});
        EXPECT_EQ(FPliki->FLBox1->directory().toText(), dir);
        EXPECT_EQ(QDir::currentPath(), dir);
        EXPECT_EQ(FPliki->FLBox1->mask(), u"*.bmp;*.jpg;*.jpeg;*.emf;*.wmf"_s);
        EXPECT_EQ(FPliki->FLBox1->entries(), entries);
        EXPECT_EQ(FPliki->FLBox1->selectedIndex(), 0);
        EXPECT_EQ(FPliki->CurrentPath.toText(), path);
    }
}

TEST_F(SearchWindowTest, SavingWritesTheNamesInWindows1250AndOffersTheLastName)
{
    openPictures({{u"Żółw.jpg"_s, u"morze"_s}, {u"b.jpg"_s, u"morze"_s}, {u"c.jpg"_s, u"las"_s}});
    openSearch();
    search(u"MORZE"_s);
    const QString workingDirectory = QDir::currentPath();
    testing_support::TempDir out;
    const QString target = out.path(u"lista.txt"_s);
    out.write(u"lista.txt"_s, "an older, longer list\r\n");
    m_dialogs->queue(target);
    QTest::mouseClick(FSzukaAll->BitZapisz, Qt::LeftButton);
    EXPECT_EQ(testing_support::fileBytes(target), QByteArray("b.jpg\r\n\xaf\xf3\xb3w.jpg\r\n"));
    EXPECT_EQ(m_dialogs->lastSuggestedName(), u"");
    EXPECT_EQ(m_dialogs->lastFilter(), u"Plik tekstowy (*.txt);;Dowolny plik (*.*)");
    EXPECT_EQ(QDir::currentPath(), workingDirectory);

    search(u"nic takiego"_s);
    EXPECT_TRUE(FSzukaAll->BitZapisz->isEnabled()); // left as it was
    m_dialogs->queue(std::monostate {}); // cancelled: nothing written
    QTest::mouseClick(FSzukaAll->BitZapisz, Qt::LeftButton);
    EXPECT_EQ(m_dialogs->lastSuggestedName(), target);
    EXPECT_EQ(testing_support::fileBytes(target).size(), 17);
    {
        const platform::InjectedFailure full(platform::FileOperation::CreateFile, out.path({}), ENOSPC);
        m_dialogs->queue(target);
        QTest::mouseClick(FSzukaAll->BitZapisz, Qt::LeftButton);
    }
    EXPECT_EQ(dialogTexts(Kind::Report).size(), 1) << dialogTexts(Kind::Report).join(u'|').toStdString();
    EXPECT_EQ(testing_support::fileBytes(target).size(), 17); // the old file is whole
    // A folder whose name the dialog could not read as UTF-8: a Polish box, nothing written.
    m_dialogs->queue(out.path(u"\uFFFDaba/lista.txt"_s));
    QTest::mouseClick(FSzukaAll->BitZapisz, Qt::LeftButton);
    ASSERT_EQ(dialogTexts(Kind::Error).size(), 1);
    EXPECT_TRUE(dialogTexts(Kind::Error).front().startsWith(u"Nie mogę zapisać listy w wybranym katalogu"_s));
    EXPECT_EQ(m_dialogs->lastSuggestedName(), target);
    m_dialogs->queue(target);
    QTest::mouseClick(FSzukaAll->BitZapisz, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(testing_support::fileBytes(target), QByteArray()); // an empty list gives an empty file
}

TEST_F(SearchWindowTest, KeysStartTheSearchOpenAndRemoveHitsAndEscCloses)
{
    openPictures({{u"a.jpg"_s, u"Giewont"_s}, {u"b.jpg"_s, u"Giewont"_s}});
    openSearch();
    FSzukaAll->edFraza->setFocus();
    QTest::keyClicks(FSzukaAll->edFraza, u"giewont"_s);
    QTest::keyClick(FSzukaAll->edFraza, Qt::Key_Return);
    EXPECT_EQ(hits(), (QStringList {u"a.jpg"_s, u"b.jpg"_s}));
    selectHit(1);
    QTest::keyClick(FSzukaAll->ListBoxResult, Qt::Key_Enter);
    EXPECT_EQ(FPliki->CurrentName, u"b.jpg");
    m_dialogs->queue(true);
    QTest::keyClick(FSzukaAll->ListBoxResult, Qt::Key_Delete);
    EXPECT_EQ(hits(), QStringList {u"a.jpg"_s});
    for (QWidget* control :
        std::initializer_list<QWidget*> {FSzukaAll->edFraza, FSzukaAll->ListBoxResult, FSzukaAll->CheckBox1}) {
        openSearch();
        ASSERT_TRUE(FSzukaAll->isVisible());
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(FSzukaAll->isVisible()) << control->objectName().toStdString();
    }
}

TEST_F(SearchWindowTest, ARunningShowIsHeldBackUntilTheSummary)
{
    // One picture takes the search a while, however many threads share the files: 1 GiB, all but its start a hole
    // in the file, so it takes no room on the disk but has to be read.
    const QByteArray jpeg = testing_support::encodeJpeg(QImage(8, 8, QImage::Format_RGB32));
    for (int i = 0; i < 6; ++i)
        m_pictures.write(u"p%1.jpg"_s.arg(i), jpeg + "xy");
    ASSERT_EQ(::truncate(QFile::encodeName(m_pictures.path(u"p5.jpg"_s)).constData(), off_t {1} << 30), 0);
    const QString phrase = u"xy"_s.repeated(1000) + u"z"_s;
    openDirectory(pictureDir());
    FPliki->FLBox1->selectIndex(0);
    FPliki->ShowCurrentPicture();
    openSearch();

    // How long the search takes alone on this machine: the show's period is made long enough for its next own tick
    // to come well after the search, so that a tick held back (which runs at once after the summary) is always told
    // from a lost one (which would wait for that next tick).
    QElapsedTimer alone;
    alone.start();
    search(phrase);
    const int period = int(alone.elapsed() * 2 / 1000) + 2;
    m_dialogs->clear();

    // The real show, started from its menu item; the ticks its timer runs are counted.
    const auto ticks = std::make_shared<int>(0);
    FPliki->Timer11->onTick = [ticks, showTick = FPliki->Timer11->onTick] {
        ++*ticks;
        showTick();
    };
    FMain->SpinEdit1->setValue(period);
    FMain->mnuAuto->trigger();
    ASSERT_EQ(FPliki->CurrentName, u"p1.jpg"); // the show's first step comes at once
    ASSERT_EQ(FPliki->Timer11->interval(), std::uint32_t(period) * 1000);
    const QTimer* showClock = FPliki->Timer11->findChild<QTimer*>();
    ASSERT_TRUE(showClock != nullptr && showClock->isActive());

    // The search starts shortly before the show's next tick is due, and goes on past it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const int dueIn = showClock->remainingTime();
            return dueIn > 5 && dueIn <= 25;
        },
        period * 1000 + 5000));
    const int ticksBefore = *ticks;
    const QString pictureBefore = FPliki->CurrentName;
    const int dueIn = showClock->remainingTime();
    QElapsedTimer searching;
    searching.start();
    int ticksAtSummary = -1;
    QString pictureAtSummary;
    qint64 searchedFor = 0;
    QElapsedTimer sinceSummary;
    m_dialogs->whileOpen = [&](const testing_support::DialogRecord& record) {
        if (record.kind != Kind::Message)
            return;
        sinceSummary.start();
        searchedFor = searching.elapsed();
        ticksAtSummary = *ticks;
        pictureAtSummary = FPliki->CurrentName;
    };
    search(phrase);
    m_dialogs->whileOpen = nullptr;
    ASSERT_EQ(dialogTexts(Kind::Message), QStringList {summary(phrase, 0)});
    // The tick came due during the search, which then went on for rounds of repainting...
    EXPECT_GT(searchedFor, dueIn + 2 * platform::kRepaintPeriod.count())
        << "the search ended too soon after the tick came due to tell whether it held the tick back";
    // ...yet the picture did not change until the summary.
    EXPECT_EQ(ticksAtSummary, ticksBefore);
    EXPECT_EQ(pictureAtSummary.toStdString(), pictureBefore.toStdString());

    // The tick that came due runs after the summary, once, and long before the show's next tick would have come.
    const qint64 nextPeriodAfterSummary = dueIn + qint64(period) * 1000 - searchedFor;
    ASSERT_GT(nextPeriodAfterSummary, 500) << "the period leaves room after the search";
    ASSERT_TRUE(QTest::qWaitFor([&] { return *ticks > ticksBefore; }, period * 1000 + 5000));
    EXPECT_LT(sinceSummary.elapsed(), nextPeriodAfterSummary - 100) << "the tick that came due was lost";
    EXPECT_EQ(*ticks, ticksBefore + 1);
    EXPECT_EQ(FPliki->CurrentName.toStdString(), u"p%1.jpg"_s.arg(pictureBefore.mid(1, 1).toInt() + 1).toStdString());
    FMain->mnuStop->trigger();
}
