#include "platform/dialogs.h"
#include "platform/key_router.h"
#include "platform/translation.h"
#include "support/case_name.h"
#include "support/scripted_dialogs.h"
#include "support/widget_application.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using testing_support::DialogRecord;
using testing_support::ScriptedDialogs;

namespace {

// --- The default error report's full stop ----------------------------------------------------------------------

struct ReportCase {
    const char* message;
    const char* shown;
};

class ReportText : public testing::TestWithParam<ReportCase> { };

TEST_P(ReportText, AppendsAFullStopAfterCharactersBeyondIt)
{
    EXPECT_EQ(platform::reportText(QString::fromUtf8(GetParam().message)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(LastCharacter, ReportText,
    testing::Values(ReportCase {"abc", "abc."}, ReportCase {"abc.", "abc."}, ReportCase {"a!", "a!"},
        ReportCase {"Ł", "Ł."}, ReportCase {"", ""}, ReportCase {"a-", "a-"}, ReportCase {"a/", "a/."},
        ReportCase {"I/O error 2 (No such file or directory)", "I/O error 2 (No such file or directory)"},
        ReportCase {"'x' is not a valid integer value", "'x' is not a valid integer value."},
        ReportCase {"Unable to write to /a/Zelkavio.ini", "Unable to write to /a/Zelkavio.ini."}),
    testing_support::namedBy([](const ReportCase& row) { return row.message; }));

// --- The scripted double ---------------------------------------------------------------------------------------

TEST(ScriptedDialogs, RecordsEveryBoxInOrder)
{
    ScriptedDialogs d;
    d.message(QStringLiteral("plain"));
    d.error(QStringLiteral("Błąd"));
    d.report(QStringLiteral("zły plik"));
    (void)d.confirm(QStringLiteral("Na pewno?"));
    (void)d.chooseFolder(nullptr, QStringLiteral("Katalog"), QStringLiteral("/tmp"));
    (void)d.chooseSaveFile(nullptr, QStringLiteral("Zapis"), QStringLiteral("a.txt"), QStringLiteral("*.txt"));
    ASSERT_EQ(d.records().size(), 6U);
    const std::vector<std::pair<DialogRecord::Kind, QString>> expected {
        {DialogRecord::Kind::Message, QStringLiteral("plain")},
        {DialogRecord::Kind::Error, QStringLiteral("Błąd")},
        {DialogRecord::Kind::Report, QStringLiteral("zły plik.")},
        {DialogRecord::Kind::Confirm, QStringLiteral("Na pewno?")},
        {DialogRecord::Kind::Folder, QStringLiteral("Katalog")},
        {DialogRecord::Kind::SaveFile, QStringLiteral("Zapis")},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(d.records()[i].kind, expected[i].first) << i;
        EXPECT_EQ(d.records()[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(d.lastPreselect(), QStringLiteral("/tmp"));
    EXPECT_EQ(d.records()[5].suggestedName, QStringLiteral("a.txt"));
    EXPECT_EQ(d.records()[5].filter, QStringLiteral("*.txt"));
    d.clear();
    EXPECT_TRUE(d.records().empty());
}

TEST(ScriptedDialogs, RecordsTheInitialColourAndTheFontsSizeStyleAndColour)
{
    ScriptedDialogs d;
    (void)d.chooseColour(nullptr, QColor(1, 2, 3));
    QFont font(QStringLiteral("DejaVu Serif"), 17);
    font.setItalic(true);
    font.setUnderline(true);
    (void)d.chooseFont(nullptr, {font, QColor(4, 5, 6)});
    ASSERT_EQ(d.records().size(), 2U);
    EXPECT_EQ(d.records()[0].colour, QColor(1, 2, 3));
    const DialogRecord& asked = d.records()[1];
    EXPECT_EQ(asked.text, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(asked.fontSize, 17);
    EXPECT_EQ(asked.fontStyle, 2 | 4);
    EXPECT_EQ(asked.colour, QColor(4, 5, 6));
}

TEST(ScriptedDialogs, AnswersFromTheQueueAndCancelsWhenItIsEmpty)
{
    ScriptedDialogs d;
    d.queue(true);
    d.queue(false);
    d.queue(QStringLiteral("/home/ala"));
    d.queue(QColor(Qt::red));
    d.queue(platform::FontChoice {QFont(QStringLiteral("Arial"), 20), QColor(Qt::yellow)});
    d.queue(std::monostate {});
    EXPECT_TRUE(d.confirm(QStringLiteral("1")));
    EXPECT_FALSE(d.confirm(QStringLiteral("2")));
    EXPECT_EQ(d.chooseFolder(nullptr, {}, {}), QStringLiteral("/home/ala"));
    EXPECT_EQ(d.chooseColour(nullptr, Qt::black), QColor(Qt::red));
    const auto font = d.chooseFont(nullptr, {});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->font.pointSize(), 20);
    EXPECT_EQ(font->colour, QColor(Qt::yellow));
    EXPECT_FALSE(d.chooseSaveFile(nullptr, {}, {}, {})); // cancelled explicitly
    EXPECT_FALSE(d.confirm(QStringLiteral("empty queue")));
    EXPECT_FALSE(d.chooseColour(nullptr, Qt::black));
    EXPECT_FALSE(d.chooseFolder(nullptr, {}, {}));
}

TEST(ScriptedDialogs, AnswerOfTheWrongKindIsAScriptingError)
{
    ScriptedDialogs d;
    d.queue(QColor(Qt::red));
    EXPECT_THROW((void)d.confirm(QStringLiteral("?")), std::logic_error);
}

TEST(ScriptedDialogs, HookRunsWhileTheBoxIsOpenBeforeItIsAnswered)
{
    ScriptedDialogs d;
    std::vector<QString> seen;
    d.whileOpen = [&](const DialogRecord& record) {
        seen.push_back(record.text);
        if (record.kind == DialogRecord::Kind::Confirm) {
            d.error(QStringLiteral("nested")); // a timer firing inside the box may open another one
            d.queue(true);
        }
    };
    EXPECT_TRUE(d.confirm(QStringLiteral("outer")));
    EXPECT_EQ(seen, (std::vector<QString> {QStringLiteral("outer"), QStringLiteral("nested")}));
    EXPECT_EQ(d.records().size(), 2U);
}

TEST(ScriptedDialogs, InstalledDoubleReplacesTheDialogsInUse)
{
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* raw = scripted.get();
    auto previous = platform::installDialogs(std::move(scripted));
    platform::dialogs().message(QStringLiteral("hello"));
    EXPECT_EQ(raw->records().size(), 1U);
    auto back = platform::installDialogs(std::move(previous));
    EXPECT_EQ(back.get(), raw);
}

// --- The Qt dialogs, driven offscreen ----------------------------------------------------------------------------

class QtDialogs : public testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::ensureWidgetApplication(); }

    /** Runs `act` on the first visible top-level widget of type T, as soon as one is open. */
    template <typename T> static void whenOpen(std::function<void(T*)> act)
    {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
                    timer->stop();
                    timer->deleteLater();
                    act(found);
                    return;
                }
            }
        });
        timer->start();
    }

    static QPushButton* button(QMessageBox* box, const QString& text)
    {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == text)
                return qobject_cast<QPushButton*>(b);
        }
        return nullptr;
    }

    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool centred = false;
    };

    /** Notes what the box shows, then clicks the button with `click` as its text. */
    static void inspectAndClick(Seen& seen, const QString& click)
    {
        whenOpen<QMessageBox>([&seen, click](QMessageBox* box) {
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seen.buttons << b->text();
            const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
            seen.centred = (box->frameGeometry().center() - centre).manhattanLength() <= 2;
            if (QPushButton* b = button(box, click))
                b->click();
        });
    }
};

TEST_F(QtDialogs, PlainErrorAndReportBoxesShowTheirTitlesIconsAndOneOkButton)
{
    struct Case {
        std::function<void()> open;
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    const std::vector<Case> cases {
        {[] { platform::dialogs().message(QStringLiteral("Autor")); }, QStringLiteral("Zelkavio"),
            QStringLiteral("Autor"), QMessageBox::NoIcon},
        {[] { platform::dialogs().error(QStringLiteral("Błąd! <b>x</b>")); }, QStringLiteral("Error"),
            QStringLiteral("Błąd! <b>x</b>"), QMessageBox::Critical},
        {[] { platform::dialogs().report(QStringLiteral("zły")); }, QStringLiteral("Zelkavio"), QStringLiteral("zły."),
            QMessageBox::Critical},
        // CR LF, the program's line break, shows as one.
        {[] { platform::dialogs().message(QStringLiteral("Koniec.\r\n\r\n  3  plików.")); }, QStringLiteral("Zelkavio"),
            QStringLiteral("Koniec.\n\n  3  plików."), QMessageBox::NoIcon},
    };
    for (const Case& c : cases) {
        Seen seen;
        inspectAndClick(seen, QStringLiteral("OK"));
        c.open();
        EXPECT_EQ(seen.title, c.title);
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.buttons, QStringList {QStringLiteral("OK")});
        EXPECT_TRUE(seen.centred);
    }
}

TEST_F(QtDialogs, ConfirmationIsYesOnlyForYes)
{
    for (const bool yes : {true, false}) {
        Seen seen;
        inspectAndClick(seen, yes ? QStringLiteral("&Yes") : QStringLiteral("&No"));
        EXPECT_EQ(platform::dialogs().confirm(QStringLiteral("Usunąć \r\na.jpg?")), yes);
        EXPECT_EQ(seen.text, QStringLiteral("Usunąć \na.jpg?"));
        EXPECT_EQ(seen.title, QStringLiteral("Confirm"));
        EXPECT_EQ(seen.icon, QMessageBox::Question);
        EXPECT_EQ(seen.buttons, (QStringList {QStringLiteral("&Yes"), QStringLiteral("&No")}));
        EXPECT_TRUE(seen.centred);
    }
}

TEST_F(QtDialogs, FolderChooserPreselectsDisablesOnlyItsOwnerAndGivesTheFullPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Zdjęcia")));
    const QString preselect = dir.path() + QStringLiteral("/Zdjęcia");
    QWidget owner;
    QWidget other;
    owner.show();
    other.show();
    bool ownerEnabled = true;
    bool otherEnabled = false;
    QString title;
    whenOpen<QFileDialog>([&](QFileDialog* dialog) {
        ownerEnabled = owner.isEnabled();
        otherEnabled = other.isEnabled();
        title = dialog->windowTitle();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = platform::dialogs().chooseFolder(&owner, QStringLiteral("Wybierz"), preselect);
    EXPECT_EQ(chosen, preselect);
    EXPECT_EQ(title, QStringLiteral("Wybierz"));
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(otherEnabled);
    EXPECT_TRUE(owner.isEnabled());

    whenOpen<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(platform::dialogs().chooseFolder(&owner, QString(), preselect));
    EXPECT_TRUE(owner.isEnabled());

    // Ending the program cancels whatever is open.
    whenOpen<QFileDialog>([](QFileDialog*) { platform::cancelOpenDialogs(); });
    EXPECT_FALSE(platform::dialogs().chooseFolder(&owner, QString(), preselect));
    EXPECT_FALSE(platform::dialogOpen());
}

TEST_F(QtDialogs, KeysTypedInTheFolderChoosersFieldEditTheFieldAndRunNoMenuItem)
{
    // A main window whose menu has Ctrl+N and Ctrl+X, and a picture window that owns the chooser, so the main
    // window stays enabled while it is open.
    QWidget main;
    auto* bar = new QMenuBar(&main);
    QMenu* menu = bar->addMenu(QStringLiteral("&Obraz"));
    QAction* next = menu->addAction(QStringLiteral("&Następny"));
    next->setShortcut(Qt::CTRL | Qt::Key_N);
    QAction* end = menu->addAction(QStringLiteral("&Koniec"));
    end->setShortcut(Qt::CTRL | Qt::Key_X);
    platform::KeyRouter::instance().setMainWindow(&main, bar);
    QWidget owner;
    main.show();
    owner.show();
    QSignalSpy nextRuns(next, &QAction::triggered);
    QSignalSpy endRuns(end, &QAction::triggered);
    QString left;
    QString clipboard;
    whenOpen<QFileDialog>([&](QFileDialog* dialog) {
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (field) {
            field->setText(QStringLiteral("Zdjęcia"));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_N, Qt::ControlModifier);
            field->setSelection(0, 3);
            QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
            left = field->text();
            clipboard = QApplication::clipboard()->text();
        }
        dialog->reject();
    });
    (void)platform::dialogs().chooseFolder(&owner, QString(), QDir::tempPath());
    EXPECT_EQ(nextRuns.count() + endRuns.count(), 0);
    EXPECT_EQ(left, QStringLiteral("ęcia")); // Ctrl+X cut the selected letters
    EXPECT_EQ(clipboard, QStringLiteral("Zdj"));
}

TEST_F(QtDialogs, ColourDialogStartsAtTheCurrentColourAndCancelChangesNothing)
{
    QColor shown;
    whenOpen<QColorDialog>([&](QColorDialog* dialog) {
        shown = dialog->currentColor();
        dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
        dialog->accept();
    });
    EXPECT_EQ(platform::dialogs().chooseColour(nullptr, QColor(Qt::yellow)), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(shown, QColor(Qt::yellow));

    whenOpen<QColorDialog>([](QColorDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(platform::dialogs().chooseColour(nullptr, QColor(Qt::yellow)));
}

TEST_F(QtDialogs, FontDialogGivesTheFontWithItsColour)
{
    QFont initial(QStringLiteral("DejaVu Sans"), 14);
    initial.setBold(true);
    QFont shown;
    whenOpen<QDialog>([&](QDialog* dialog) {
        auto* fonts = dialog->findChild<QFontDialog*>(QStringLiteral("fontChooser"));
        if (!fonts) {
            dialog->reject();
            return;
        }
        shown = fonts->currentFont();
        QFont bigger = shown;
        bigger.setPointSize(72);
        fonts->setCurrentFont(bigger);
        dialog->accept();
    });
    const auto choice = platform::dialogs().chooseFont(nullptr, {initial, QColor(Qt::yellow)});
    ASSERT_TRUE(choice);
    EXPECT_EQ(shown.pointSize(), 14);
    EXPECT_TRUE(shown.bold());
    EXPECT_EQ(choice->font.pointSize(), 72);
    EXPECT_EQ(choice->colour, QColor(Qt::yellow));
}

TEST_F(QtDialogs, ColourFontAndSaveDialogsAreModalToTheWholeProgramAndTitled)
{
    QWidget owner;
    owner.show();
    struct Case {
        const char* what;
        std::function<void()> open;
        QString title;
    };
    const std::vector<Case> cases {
        {"colour", [&] { (void)platform::dialogs().chooseColour(&owner, Qt::red); }, QStringLiteral("Kolor")},
        {"font",
            [&] {
                (void)platform::dialogs().chooseFont(&owner, {QFont(), Qt::red});
            },
            QStringLiteral("Czcionka")},
        {"save", [&] { (void)platform::dialogs().chooseSaveFile(&owner, QString(), QString(), QString()); },
            QStringLiteral("Zapisz jako")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Qt::WindowModality modality = Qt::NonModal;
        QString title;
        bool blocked = false;
        whenOpen<QDialog>([&](QDialog* dialog) {
            modality = dialog->windowModality();
            title = dialog->windowTitle();
            blocked = QApplication::activeModalWidget() == dialog && platform::dialogOpen();
            dialog->reject();
        });
        c.open();
        EXPECT_EQ(modality, Qt::ApplicationModal);
        EXPECT_EQ(title, c.title);
        EXPECT_TRUE(blocked);
        EXPECT_FALSE(platform::dialogOpen());
    }
}

TEST_F(QtDialogs, QtsOwnTextsArePolishOnceTheCatalogueIsLoaded)
{
    ASSERT_TRUE(platform::installPolishQtTranslation());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Anuluj"));
    EXPECT_TRUE(platform::installPolishQtTranslation()); // once is enough; a second call changes nothing
}

TEST_F(QtDialogs, SaveDialogGivesThePathWithTheDefaultExtension)
{
    QTemporaryDir dir;
    whenOpen<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(dir.path() + QStringLiteral("/wyniki"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = platform::dialogs().chooseSaveFile(
        nullptr, QStringLiteral("Zapis"), QString(), QStringLiteral("Plik tekstowy (*.txt);;Dowolny plik (*)"));
    EXPECT_EQ(chosen, dir.path() + QStringLiteral("/wyniki.txt"));
}

} // namespace
