#include "dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace platform {

namespace {
int openDialogs = 0;
} // namespace

DialogScope::DialogScope()
{
    ++openDialogs;
}

DialogScope::~DialogScope()
{
    --openDialogs;
}

bool dialogOpen()
{
    return openDialogs > 0;
}

void cancelOpenDialogs()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            dialog->reject();
    }
}

QString reportText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

namespace {

void centreOnScreen(QWidget* widget)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget->move(frame.topLeft());
}

/** A dialog that centres itself on the primary screen once its final size is known, as it is shown. */
template <typename Base> class Centred : public Base {
public:
    using Base::Base;

protected:
    void showEvent(QShowEvent* event) override
    {
        Base::showEvent(event);
        centreOnScreen(this);
    }
};

/** Disables a window for as long as it lives (the window may be destroyed meanwhile). */
class DisabledWhileOpen {
public:
    explicit DisabledWhileOpen(QWidget* window)
        : m_window(window)
        , m_wasEnabled(window && window->isEnabled())
    {
        if (m_window)
            m_window->setEnabled(false);
    }
    ~DisabledWhileOpen()
    {
        if (m_window)
            m_window->setEnabled(m_wasEnabled);
    }
    DisabledWhileOpen(const DisabledWhileOpen&) = delete;
    DisabledWhileOpen& operator=(const DisabledWhileOpen&) = delete;

private:
    QPointer<QWidget> m_window;
    bool m_wasEnabled;
};

/**
 * Runs `dialog` modal to its owner's window only: the owner is disabled while the dialog is open, every
 * other window stays usable, and timers go on ticking in the nested loop. Without an owner the dialog is
 * modal to the whole application. The dialog has no parent widget, because disabling the owner would
 * disable its child windows too. Returns the dialog's result code.
 */
int runOwnedBy(QDialog& dialog, QWidget* owner)
{
    const DialogScope open;
    if (!owner)
        return dialog.exec();
    QWidget* window = owner->window();
    const DisabledWhileOpen disabled(window);
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    if (QWindow* handle = dialog.windowHandle())
        handle->setTransientParent(window->windowHandle());
    if (dialog.isVisible())
        loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}

/**
 * Runs `dialog` modal to the whole program: every window is disabled while it is open, timers go on ticking in
 * the nested loop. `owner`'s window, when given, is the dialog's transient parent, so it opens over it.
 */
int runApplicationModal(QDialog& dialog, QWidget* owner)
{
    const DialogScope open;
    dialog.setWindowModality(Qt::ApplicationModal);
    if (owner) {
        dialog.winId();
        if (QWindow* handle = dialog.windowHandle())
            handle->setTransientParent(owner->window()->windowHandle());
    }
    return dialog.exec();
}

QString applicationTitle()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Zelkavio") : name;
}

/** A box's text as shown: CR LF, the program's line break, breaks the line (a lone CR as well). */
QString shownText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

/** Lets a box show the changes of its text while the box lives. */
class ShownWhileOpen {
public:
    ShownWhileOpen(BoxText& text, std::function<void(const QString&)> show)
        : m_text(text)
    {
        m_text.showIn(std::move(show));
    }
    ~ShownWhileOpen() { m_text.showIn(nullptr); }
    ShownWhileOpen(const ShownWhileOpen&) = delete;
    ShownWhileOpen& operator=(const ShownWhileOpen&) = delete;

private:
    BoxText& m_text;
};

/** A box with one "OK" button showing `text`, and each change of it while it is open; a report adds its stop. */
void showBox(QMessageBox::Icon icon, const QString& title, BoxText& text, bool asReport = false)
{
    const auto shown = [asReport](const QString& t) { return shownText(asReport ? reportText(t) : t); };
    Centred<QMessageBox> box;
    box.setWindowTitle(title);
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown(text.text()));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    const ShownWhileOpen changes(text, [&box, shown](const QString& changed) { box.setText(shown(changed)); });
    const DialogScope open;
    box.exec();
}

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text, bool asReport = false)
{
    BoxText fixed(text);
    showBox(icon, title, fixed, asReport);
}

/** The extension of the first filter's first "*.ext" pattern, which a typed name without one gets. */
QString defaultSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = pattern.match(filter.section(QStringLiteral(";;"), 0, 0));
    return match.hasMatch() ? match.captured(1) : QString();
}

QPixmap swatch(const QColor& colour)
{
    QPixmap pixmap(32, 16);
    pixmap.fill(colour);
    return pixmap;
}

/** The font dialog with a colour choice beside it, since the font's colour travels with the font. */
class FontColourDialog : public Centred<QDialog> {
public:
    explicit FontColourDialog(const FontChoice& initial)
        : m_colour(initial.colour)
    {
        setObjectName(QStringLiteral("fontDialog"));
        setWindowTitle(QStringLiteral("Czcionka"));
        m_fonts = new QFontDialog(initial.font, this);
        m_fonts->setObjectName(QStringLiteral("fontChooser"));
        m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        m_fonts->setWindowFlags(Qt::Widget);
        m_fonts->setCurrentFont(initial.font);

        auto* colourLabel = new QLabel(QStringLiteral("Kolor:"), this);
        m_colourButton = new QPushButton(this);
        m_colourButton->setObjectName(QStringLiteral("fontColourButton"));
        m_colourButton->setAccessibleName(QStringLiteral("Kolor czcionki"));
        m_colourButton->setIcon(swatch(m_colour));
        m_colourButton->setIconSize(QSize(32, 16));
        colourLabel->setBuddy(m_colourButton);
        QObject::connect(m_colourButton, &QPushButton::clicked, this, [this] {
            Centred<QColorDialog> colours(m_colour, this);
            colours.setOption(QColorDialog::DontUseNativeDialog);
            if (colours.exec() == QDialog::Accepted) {
                m_colour = colours.currentColor();
                m_colourButton->setIcon(swatch(m_colour));
            }
        });

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        QObject::connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        auto* colourRow = new QHBoxLayout;
        colourRow->addWidget(colourLabel);
        colourRow->addWidget(m_colourButton);
        colourRow->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_fonts);
        layout->addLayout(colourRow);
        layout->addWidget(buttons);
        m_fonts->show();
    }

    [[nodiscard]] FontChoice choice() const { return {m_fonts->currentFont(), m_colour}; }

private:
    QFontDialog* m_fonts = nullptr;
    QPushButton* m_colourButton = nullptr;
    QColor m_colour;
};

class QtDialogs : public Dialogs {
public:
    void message(const QString& text) override { showBox(QMessageBox::NoIcon, applicationTitle(), text); }
    void error(const QString& text) override { showBox(QMessageBox::Critical, QStringLiteral("Error"), text); }
    void report(const QString& text) override { showBox(QMessageBox::Critical, applicationTitle(), text, true); }
    void showChanging(ChangingBox kind, BoxText& text) override
    {
        if (kind == ChangingBox::Error)
            showBox(QMessageBox::Critical, QStringLiteral("Error"), text);
        else
            showBox(QMessageBox::Critical, applicationTitle(), text, true);
    }

    bool confirm(const QString& text) override
    {
        Centred<QMessageBox> box;
        box.setWindowTitle(QStringLiteral("Confirm"));
        box.setIcon(QMessageBox::Question);
        box.setTextFormat(Qt::PlainText);
        box.setText(shownText(text));
        QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        const DialogScope open;
        box.exec();
        return box.clickedButton() == yes;
    }

    std::optional<QString> chooseFolder(QWidget* owner, const QString& title, const QString& preselect) override
    {
        Centred<QFileDialog> dialog;
        dialog.setObjectName(QStringLiteral("folderDialog"));
        dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("Wybór katalogu") : title);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (!preselect.isEmpty())
            dialog.setDirectory(preselect);
        if (runOwnedBy(dialog, owner) != QDialog::Accepted)
            return std::nullopt;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.front().isEmpty())
            return std::nullopt;
        return QDir::cleanPath(QDir(chosen.front()).absolutePath());
    }

    std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) override
    {
        Centred<QColorDialog> dialog(initial);
        dialog.setObjectName(QStringLiteral("colourDialog"));
        dialog.setWindowTitle(QStringLiteral("Kolor"));
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (runApplicationModal(dialog, owner) != QDialog::Accepted)
            return std::nullopt;
        return dialog.currentColor();
    }

    std::optional<FontChoice> chooseFont(QWidget* owner, const FontChoice& initial) override
    {
        FontColourDialog dialog(initial);
        if (runApplicationModal(dialog, owner) != QDialog::Accepted)
            return std::nullopt;
        return dialog.choice();
    }

    std::optional<QString> chooseSaveFile(
        QWidget* owner, const QString& title, const QString& suggestedName, const QString& filter) override
    {
        Centred<QFileDialog> dialog;
        dialog.setObjectName(QStringLiteral("saveDialog"));
        dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("Zapisz jako") : title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
        if (!filter.isEmpty())
            dialog.setNameFilters(filter.split(QStringLiteral(";;")));
        dialog.setDefaultSuffix(defaultSuffix(filter));
        if (!suggestedName.isEmpty())
            dialog.selectFile(suggestedName);
        if (runApplicationModal(dialog, owner) != QDialog::Accepted)
            return std::nullopt;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.front().isEmpty())
            return std::nullopt;
        return chosen.front();
    }
};

std::unique_ptr<Dialogs>& current()
{
    static std::unique_ptr<Dialogs> instance;
    return instance;
}

} // namespace

Dialogs& dialogs()
{
    std::unique_ptr<Dialogs>& instance = current();
    if (!instance)
        instance = makeQtDialogs();
    return *instance;
}

std::unique_ptr<Dialogs> installDialogs(std::unique_ptr<Dialogs> replacement)
{
    std::unique_ptr<Dialogs> previous = std::move(current());
    current() = std::move(replacement);
    return previous;
}

std::unique_ptr<Dialogs> makeQtDialogs()
{
    return std::make_unique<QtDialogs>();
}

} // namespace platform
