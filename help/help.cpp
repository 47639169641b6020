#include "help.h"

#include "help_file.h"
#include "rtf_document.h"

#include "platform/guard.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

QPointer<TFhelp> Fhelp;

namespace {
const QString kHint = QStringLiteral("Klawisz <ESC> zamyka to okno");
} // namespace

TFhelp::TFhelp()
    : QDialog(nullptr)
    , Panel1(new QFrame(this))
    , RichEdit1(new QTextEdit(Panel1))
{
    setObjectName(QStringLiteral("Fhelp"));
    setWindowTitle(QStringLiteral("Plik pomocy"));
    setAccessibleName(QStringLiteral("Plik pomocy"));
    setSizeGripEnabled(false);
    resize(744, 415);

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Panel1);
    auto* inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(RichEdit1);

    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAccessibleName(QStringLiteral("Tekst pomocy"));
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setUndoRedoEnabled(false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    font.setBold(true);
    RichEdit1->setFont(font);
    QPalette palette = RichEdit1->palette();
    palette.setColor(QPalette::Text, QApplication::palette().color(QPalette::WindowText));
    RichEdit1->setPalette(palette);
    RichEdit1->setPlainText(help::builtInNotice());

    // The window's hint is every control's tooltip; each sees the keys first, as the window previews them.
    setToolTip(kHint);
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setToolTip(kHint);
        child->installEventFilter(this);
    }
}

TFhelp::~TFhelp() = default;

void TFhelp::FormShow()
{
    RichEdit1->setAcceptRichText(true);
    RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
    RichEdit1->setReadOnly(true);
    // Read-only, yet the keys move through the text and select it.
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A help file in RTF brings its own paragraph formatting; the built-in notice and plain text take ours.
    if (m_plainText)
        applyIndents(m_shown.has_value());
    loadHelpFile();
}

void TFhelp::applyIndents(bool wholeDocument)
{
    const help::HelpIndents indents = help::helpIndents(RichEdit1->viewport()->width(), RichEdit1->logicalDpiX());
    QTextBlockFormat format;
    format.setLeftMargin(indents.left);
    format.setTextIndent(indents.firstLine - indents.left);
    format.setRightMargin(indents.right);
    QTextCursor cursor = RichEdit1->textCursor();
    if (wholeDocument) {
        cursor.select(QTextCursor::Document);
    }
    cursor.mergeBlockFormat(format);
}

void TFhelp::loadHelpFile()
{
    const QString path = help::helpFilePath();
    if (!help::helpFileExists(path))
        return; // the built-in notice, or the file loaded at an earlier resize, stays
    std::optional<QByteArray> bytes;
    try {
        bytes = help::readHelpFile(path);
    } catch (...) {
        // The view was cleared before the load; the failure goes to the default report.
        RichEdit1->clear();
        m_shown = QByteArray();
        m_plainText = true;
        throw;
    }
    if (!bytes || bytes == m_shown)
        return;
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    const int scrolled = bar->value();
    const int cursorAt = RichEdit1->textCursor().position();
    QTextDocument* document = RichEdit1->document();
    help::loadHelpText(platform::asBytes(*bytes), *document, RichEdit1->logicalDpiX());
    m_plainText = !help::isRtf(platform::asBytes(*bytes));
    m_shown = std::move(bytes);
    if (m_plainText)
        applyIndents(true);
    (void)document->documentLayout()->documentSize();
    // The new text pushed the view's cursor to its end, and the view scrolls to its cursor when it first shows:
    // the cursor goes back to where it was (the start, on the first load), then the view to where it was.
    QTextCursor cursor(document);
    cursor.setPosition(std::min(cursorAt, document->characterCount() - 1));
    RichEdit1->setTextCursor(cursor);
    bar->setValue(scrolled);
}

bool TFhelp::FormKeyDown(int key)
{
    if (key != Qt::Key_Escape)
        return false;
    close();
    return true;
}

void TFhelp::FormClose()
{
    setResult(QDialog::Accepted);
}

void TFhelp::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (event->oldSize() != event->size())
        platform::guarded([this] { FormResize(); });
}

void TFhelp::closeEvent(QCloseEvent* event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
    done(QDialog::Accepted);
}

bool TFhelp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        bool taken = false;
        platform::guarded([&] { taken = FormKeyDown(static_cast<QKeyEvent*>(event)->key()); });
        if (taken)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
