#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QWidget;

namespace platform {

/** A font as the font dialog gives it: the font itself and its colour. */
struct FontChoice {
    QFont font;
    QColor colour;
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

    /** A directory chooser (directories only); the chosen directory's full path, or none when cancelled. */
    [[nodiscard]] virtual std::optional<QString> chooseFolder(
        QWidget* owner, const QString& title, const QString& preselect)
        = 0;
    [[nodiscard]] virtual std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) = 0;
    [[nodiscard]] virtual std::optional<FontChoice> chooseFont(QWidget* owner, const FontChoice& initial) = 0;
    /** A save dialog; the chosen path, or none when cancelled. `filter` uses Qt's "Text (*.txt)" form. */
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

/** What the scripted double saw: the kind of box or dialog and its text or title. */
struct DialogRecord {
    enum class Kind { Message, Error, Confirm, Report, Folder, Colour, Font, SaveFile } kind;
    QString text;
};

/**
 * The test double. Each request is recorded; confirmations and choices are answered from queues (an empty
 * queue answers "No" / cancel). An optional hook runs inside each request, where a real box would run its
 * nested event loop, so tests can observe what happens while a box is open.
 */
class ScriptedDialogs : public Dialogs {
public:
    using Answer = std::variant<bool, QString, QColor, FontChoice, std::monostate>;

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& text) override;
    void report(const QString& text) override;
    std::optional<QString> chooseFolder(QWidget* owner, const QString& title, const QString& preselect) override;
    std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) override;
    std::optional<FontChoice> chooseFont(QWidget* owner, const FontChoice& initial) override;
    std::optional<QString> chooseSaveFile(
        QWidget* owner, const QString& title, const QString& suggestedName, const QString& filter) override;

    /** Queue the answer to the next request that takes one (std::monostate = cancel). */
    void queue(Answer answer) { m_answers.push_back(std::move(answer)); }

    [[nodiscard]] const std::vector<DialogRecord>& records() const { return m_records; }
    void clear() { m_records.clear(); }
    /** What the last folder chooser was asked to preselect. */
    [[nodiscard]] const QString& lastPreselect() const { return m_lastPreselect; }

    std::function<void(const DialogRecord&)> whileOpen;

private:
    std::optional<Answer> nextAnswer();
    void record(DialogRecord::Kind kind, const QString& text);

    std::vector<DialogRecord> m_records;
    std::deque<Answer> m_answers;
    QString m_lastPreselect;
};

} // namespace platform
