#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QWidget;

namespace platform {

/** A font as the font dialog gives it: the font itself and its colour. */
struct FontChoice {
    QFont font;
    QColor colour;
};

/**
 * The text of a box that its opener may change while the box is open: the box shows each new text at once.
 */
class BoxText {
public:
    explicit BoxText(QString text)
        : m_text(std::move(text))
    {
    }

    [[nodiscard]] const QString& text() const { return m_text; }
    void setText(const QString& text)
    {
        m_text = text;
        if (m_shown)
            m_shown(m_text);
    }
    /** For the box showing this text, while it is open: called with each new text (null: no box shows it). */
    void showIn(std::function<void(const QString&)> shown) { m_shown = std::move(shown); }

private:
    QString m_text;
    std::function<void(const QString&)> m_shown;
};

/** The boxes whose text may change while they are open. */
enum class ChangingBox {
    /** As Dialogs::error(). */
    Error,
    /** As Dialogs::report(). */
    Report,
};

/**
 * Every modal box and dialog of the program. The Qt implementation builds real message boxes and dialogs,
 * each centred on the screen; the scripted double records each request and answers from a queue, so a test
 * never blocks. Boxes run nested event loops: timers keep ticking while one is open.
 */
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /** Title "Zelkavio" (the application title), no icon, one "OK" button. */
    virtual void message(const QString& text) = 0;
    /** Title "Error", error icon, one "OK" button. */
    virtual void error(const QString& text) = 0;
    /** Title "Confirm", question icon, "&Yes" and "&No"; true when "&Yes" was chosen. */
    [[nodiscard]] virtual bool confirm(const QString& text) = 0;
    /**
     * The application's default error report: title "Zelkavio", error icon, "OK", and the text with a full stop
     * appended when its last character comes after "." in character-code order (see reportText()).
     */
    virtual void report(const QString& text) = 0;
    /**
     * An error box or the default error report, as error() and report(), whose text `text` may change while it is
     * open: the box shows each new text at once. Returns when the box is closed.
     */
    virtual void showChanging(ChangingBox kind, BoxText& text) = 0;

    /** A directory chooser (directories only); the chosen directory's full path, or none when cancelled. */
    [[nodiscard]] virtual std::optional<QString> chooseFolder(
        QWidget* owner, const QString& title, const QString& preselect)
        = 0;
    /** The colour dialog "Kolor", modal to the whole program, opening over `owner`; none when cancelled. */
    [[nodiscard]] virtual std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) = 0;
    /** The font dialog with the font's colour, modal to the whole program; none when cancelled. */
    [[nodiscard]] virtual std::optional<FontChoice> chooseFont(QWidget* owner, const FontChoice& initial) = 0;
    /**
     * A save dialog, modal to the whole program, titled `title` ("Zapisz jako" when empty); the chosen path, or
     * none when cancelled. `filter` uses Qt's "Text (*.txt)" form.
     */
    [[nodiscard]] virtual std::optional<QString> chooseSaveFile(
        QWidget* owner, const QString& title, const QString& suggestedName, const QString& filter)
        = 0;
};

/** The default error report's text: a "." is appended when the last character's code is greater than "."'s. */
[[nodiscard]] QString reportText(const QString& message);

/** The dialogs in use; the Qt implementation unless a test installed another. Never null. */
[[nodiscard]] Dialogs& dialogs();

/** Installs `replacement` (a test double) and gives back the previous one; nullptr restores the Qt dialogs. */
std::unique_ptr<Dialogs> installDialogs(std::unique_ptr<Dialogs> replacement);

/** The Qt implementation. */
[[nodiscard]] std::unique_ptr<Dialogs> makeQtDialogs();

/**
 * Marks a box or dialog of this layer as open for as long as it lives. While one is open the key router gives no
 * key to any menu, so the keys typed into a dialog's fields edit them and never run a command behind it.
 * Every implementation of Dialogs holds one around each request.
 */
class DialogScope {
public:
    DialogScope();
    ~DialogScope();
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;
};

/** Whether a box or dialog of this layer is open. */
[[nodiscard]] bool dialogOpen();

/** Cancels every box and dialog that is open, so that their nested event loops return. */
void cancelOpenDialogs();

} // namespace platform
