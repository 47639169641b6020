#include "windows_fixture.h"

#include "help/help_file.h"
#include "help/rtf_document.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/key_router.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <cerrno>
#include <functional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using testing_support::WindowsTest;
using Kind = testing_support::DialogRecord::Kind;

namespace {

class HelpWindow : public WindowsTest {
protected:
    [[nodiscard]] QString helpPath() const { return programDir() + u"/Zelkavio.rtf"_s; }

    void writeHelp(const QByteArray& bytes) const
    {
        QFile file(helpPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    /**
     * Presses F1 in the main window and runs `inside` while the help is open (inside its modal loop), then
     * closes the help if `inside` did not. Gives back once F1's command has returned.
     */
    void withHelpOpen(const std::function<void(TFhelp*)>& inside)
    {
        bool ran = false;
        auto* poll = new QTimer(FMain);
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, [&ran, poll, inside] {
            if (!Fhelp || !Fhelp->isVisible())
                return;
            poll->stop();
            ran = true;
            const QPointer<TFhelp> window = Fhelp.data();
            inside(window);
            if (window && window->isVisible())
                window->close();
        });
        poll->start();
        QTest::keyClick(FMain->Panel1, Qt::Key_F1);
        delete poll;
        EXPECT_TRUE(ran) << "the help window did not open";
    }

    static QString text(const TFhelp* help) { return help->RichEdit1->document()->toPlainText(); }
};

TEST_F(HelpWindow, LooksAsDesignedAndTheStartUpWindowStaysHidden)
{
    ASSERT_TRUE(Fhelp);
    TFhelp* help = Fhelp;
    EXPECT_EQ(help->windowTitle(), u"Plik pomocy");
    EXPECT_EQ(help->size(), QSize(744, 415));
    EXPECT_EQ(help->Panel1->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(help->Panel1->lineWidth(), 2);
    EXPECT_EQ(help->RichEdit1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(help->RichEdit1->font().pixelSize(), 13);
    EXPECT_TRUE(help->RichEdit1->font().bold());
    for (QWidget* widget : help->findChildren<QWidget*>())
        EXPECT_EQ(widget->toolTip(), u"Klawisz <ESC> zamyka to okno") << widget->objectName().toStdString();
    EXPECT_EQ(help->toolTip(), u"Klawisz <ESC> zamyka to okno");
    EXPECT_FALSE(help->isVisible());
}

TEST_F(HelpWindow, WithoutAHelpFileTheFourBuiltInLinesAppearIndented)
{
    withHelpOpen([](TFhelp* help) {
        const QStringList lines = text(help).split(u'\n');
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[0], u" ");
        EXPECT_EQ(lines[1], QString(17, u' ') + u"Nie widzę  w katalogu programu pliku pomocy - ''Zelkavio.rtf''."_s);
        EXPECT_EQ(lines[2], QString());
        EXPECT_EQ(lines[3], QString(43, u' ') + u"Proszę dostarczyć mi ten plik!"_s);
        EXPECT_TRUE(help->RichEdit1->isReadOnly());
        EXPECT_EQ(help->RichEdit1->lineWrapMode(), QTextEdit::WidgetWidth);
        // 25 points in, following lines 15 points further, the right indent capped at 25 points (96 dpi).
        const QTextBlockFormat first = help->RichEdit1->document()->begin().blockFormat();
        EXPECT_NEAR(first.leftMargin(), 40 * 96 / 72.0, 0.01);
        EXPECT_NEAR(first.textIndent(), -15 * 96 / 72.0, 0.01);
        EXPECT_NEAR(first.rightMargin(), 25 * 96 / 72.0, 0.01);
    });
    EXPECT_TRUE(m_dialogs->records().empty());
}

TEST_F(HelpWindow, TheFileIsShownAsRtfOrAsPlainTextAndADirectoryCountsAsNone)
{
    struct Case {
        const char* what;
        std::function<void()> make;
        QString expected;
        int blocks;
    };
    const std::vector<Case> cases {
        {"RTF", [&] { writeHelp(R"({\rtf1\ansi\ansicpg1250 Pierwszy \'b3\par\qc Drugi\par})"); },
            u"Pierwszy ł\nDrugi"_s, 2},
        {"plain text", [&] { writeHelp("Zwyk\xb3y tekst\r\n{\\b nie RTF}\r\n"); }, u"Zwykły tekst\n{\\b nie RTF}\n"_s,
            3},
        {"directory", [&] { QDir().mkpath(helpPath()); }, help::builtInNotice(), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(helpPath());
        QDir(helpPath()).removeRecursively();
        c.make();
        m_dialogs->clear();
        withHelpOpen([&](TFhelp* help) {
            EXPECT_EQ(text(help), c.expected);
            EXPECT_EQ(help->RichEdit1->document()->blockCount(), c.blocks);
        });
        EXPECT_TRUE(m_dialogs->records().empty());
    }
}

TEST_F(HelpWindow, FilesThatCannotBeLoadedLeaveTheViewEmptyAndGoToTheReport)
{
    struct Case {
        const char* what;
        std::function<void()> make;
        QString report;
    };
    std::unique_ptr<platform::InjectedFailure> refused;
    const std::vector<Case> cases {
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(helpPath()).constData(), 0644), 0); },
            u"Failed to Load Stream."_s},
        {"above the size cap",
            [&] {
                QFile file(helpPath());
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                ASSERT_TRUE(file.resize(help::kMaxHelpFileSize + 1)); // sparse: nothing is written
            },
            u"Failed to Load Stream."_s},
        {"unreadable",
            [&] {
                writeHelp("{\\rtf1 x}");
                refused = std::make_unique<platform::InjectedFailure>(
                    platform::FileOperation::ReadFile, helpPath(), EACCES);
            },
            platform::reportText(platform::IoError(EACCES, helpPath()).message())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(helpPath());
        c.make();
        m_dialogs->clear();
        withHelpOpen([](TFhelp* help) { EXPECT_TRUE(text(help).isEmpty()); });
        refused.reset();
        ASSERT_FALSE(m_dialogs->records().empty());
        EXPECT_EQ(m_dialogs->records().front().kind, Kind::Report);
        EXPECT_EQ(m_dialogs->records().front().text, c.report);
    }
}

TEST_F(HelpWindow, AResizeReloadsAChangedFileAndKeepsTheScrollPosition)
{
    QByteArray longText = "{\\rtf1 ";
    for (int i = 0; i < 200; ++i)
        longText += "Wiersz " + QByteArray::number(i) + "\\par ";
    writeHelp(longText + "}");
    withHelpOpen([&](TFhelp* help) {
        QScrollBar* bar = help->RichEdit1->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 100);
        // The help opens at its beginning, the text cursor too.
        EXPECT_EQ(bar->value(), 0);
        EXPECT_EQ(help->RichEdit1->textCursor().position(), 0);
        // The keys scroll the text and select it.
        help->RichEdit1->setFocus();
        QTest::keyClick(help->RichEdit1, Qt::Key_PageDown);
        EXPECT_GT(bar->value(), 0);
        QTest::keyClick(help->RichEdit1, Qt::Key_Up, Qt::ShiftModifier);
        EXPECT_TRUE(help->RichEdit1->textCursor().hasSelection());
        bar->setValue(100);
        // Unchanged bytes: the document is not built again (a mark made in it survives) and stays scrolled.
        QTextCursor(help->RichEdit1->document()).insertText(u"MARK"_s);
        help->resize(700, 400);
        EXPECT_TRUE(text(help).startsWith(u"MARK"_s));
        EXPECT_EQ(bar->value(), 100);
        const int cursorAt = help->RichEdit1->textCursor().position();
        writeHelp(longText + "Nowy koniec}");
        help->resize(710, 400);
        EXPECT_FALSE(text(help).startsWith(u"MARK"_s));
        EXPECT_TRUE(text(help).endsWith(u"Nowy koniec"_s));
        EXPECT_EQ(bar->value(), 100);
        EXPECT_EQ(help->RichEdit1->textCursor().position(), cursorAt); // the keys go on from where they were
        // A file that goes away leaves what is shown.
        QFile::remove(helpPath());
        help->resize(720, 400);
        EXPECT_TRUE(text(help).endsWith(u"Nowy koniec"_s));
    });
}

TEST_F(HelpWindow, IsModalFreshEachTimeAndEscClosesItFromTheView)
{
    writeHelp("{\\rtf1 Pomoc\\par}");
    FMain->show();
    QPointer<TFhelp> startUp = Fhelp.data();
    QPointer<TFhelp> first;
    QSignalSpy quit(FMain->mnuKoniec, &QAction::triggered);
    withHelpOpen([&](TFhelp* help) {
        first = help;
        EXPECT_NE(help, startUp.data());
        EXPECT_FALSE(startUp); // the start-up window was freed
        EXPECT_EQ(QApplication::activeModalWidget(), help);
        EXPECT_EQ(help->windowModality(), Qt::ApplicationModal);
        // F1 and every other menu key from inside the help reach no menu; the text cannot be changed.
        help->RichEdit1->setFocus();
        QTest::keyClick(help->RichEdit1, Qt::Key_F1);
        QTest::keyClick(help->RichEdit1, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(quit.count(), 0);
        EXPECT_EQ(Fhelp.data(), help);
        int helpWindows = 0;
        for (QWidget* window : QApplication::topLevelWidgets())
            helpWindows += dynamic_cast<TFhelp*>(window) != nullptr ? 1 : 0;
        EXPECT_EQ(helpWindows, 1);
        QTest::keyClicks(help->RichEdit1, u"abc"_s);
        QTest::keyClick(help->RichEdit1, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(text(help), u"Pomoc"_s);
        QTest::keyClick(help->RichEdit1, Qt::Key_Escape);
        EXPECT_FALSE(help->isVisible());
    });
    EXPECT_FALSE(first); // freed once the command returned
    EXPECT_FALSE(Fhelp);
    writeHelp("{\\rtf1 Nowa pomoc\\par}");
    withHelpOpen([&](TFhelp* help) { EXPECT_EQ(text(help), u"Nowa pomoc"_s); });
    EXPECT_FALSE(Fhelp);
}

TEST_F(HelpWindow, TheShippedHelpFileNamesEveryMenuCaptionAndShortcut)
{
    QFile file(QStringLiteral(ZELKAVIO_HELP_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(help::isRtf(platform::asBytes(bytes)));
    QTextDocument document;
    help::loadHelpText(platform::asBytes(bytes), document, 96);
    const QString shown = document.toPlainText();
    QStringList missing;
    std::function<void(const QWidget*)> visit = [&](const QWidget* menu) {
        for (const QAction* action : menu->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            const QString caption = QString(action->text()).remove(u'&');
            if (!shown.contains(caption))
                missing << caption;
            const QString key = action->shortcut().toString(QKeySequence::PortableText);
            if (!key.isEmpty() && !shown.contains(key))
                missing << key;
            if (action->menu())
                visit(action->menu());
        }
    };
    visit(FMain->MainMenu1);
    visit(FMain->PopupMenu1);
    for (const char* command : {"info", "show", "length", "write", "strip", "render", "search", "dump", "restore",
             "export-xmp", "import-xmp"}) {
        if (!shown.contains(u"zelkavio-opis "_s + QLatin1StringView(command)))
            missing << u"zelkavio-opis "_s + QLatin1StringView(command);
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u", "_s).toStdString();
    EXPECT_TRUE(shown.contains(u"Zelkavio.ini"_s));
    EXPECT_TRUE(shown.contains(u"Kopie opisów i inne programy"_s));
}

} // namespace
