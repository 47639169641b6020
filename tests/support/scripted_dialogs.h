#pragma once

#include "platform/dialogs.h"

#include <deque>
#include <functional>
#include <variant>
#include <vector>

namespace testing_support {

/**
 * What the scripted double saw: the kind of box or dialog and its text or title (a colour dialog: the initial
 * colour's name; a font dialog: the initial font's family). A font dialog also notes the initial size in points,
 * style byte (bold 1, italic 2, underline 4, strike-out 8) and colour; a colour dialog its colour; a save dialog
 * its suggested name and filter. A box whose text changes while it is open notes each new text as a TextChange
 * (a report's with its full stop).
 */
struct DialogRecord {
    enum class Kind { Message, Error, Confirm, Report, Folder, Colour, Font, SaveFile, TextChange } kind;
    QString text;
    QColor colour = {};
    int fontSize = 0;
    int fontStyle = 0;
    QString suggestedName = {};
    QString filter = {};
};

/**
 * The test double. Each request is recorded; confirmations and choices are answered from queues (an empty
 * queue answers "No" / cancel). An optional hook runs inside each request, where a real box would run its
 * nested event loop, so tests can observe what happens while a box is open.
 */
class ScriptedDialogs : public platform::Dialogs {
public:
    using Answer = std::variant<bool, QString, QColor, platform::FontChoice, std::monostate>;

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& text) override;
    void report(const QString& text) override;
    void showChanging(platform::ChangingBox kind, platform::BoxText& text) override;
    std::optional<QString> chooseFolder(QWidget* owner, const QString& title, const QString& preselect) override;
    std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) override;
    std::optional<platform::FontChoice> chooseFont(QWidget* owner, const platform::FontChoice& initial) override;
    std::optional<QString> chooseSaveFile(
        QWidget* owner, const QString& title, const QString& suggestedName, const QString& filter) override;

    /** Queue the answer to the next request that takes one (std::monostate = cancel). */
    void queue(Answer answer) { m_answers.push_back(std::move(answer)); }

    [[nodiscard]] const std::vector<DialogRecord>& records() const { return m_records; }
    void clear() { m_records.clear(); }
    /** What the last folder chooser was asked to preselect. */
    [[nodiscard]] const QString& lastPreselect() const { return m_lastPreselect; }
    /** The name and the filter the last save dialog was given. */
    [[nodiscard]] const QString& lastSuggestedName() const { return m_lastSuggestedName; }
    [[nodiscard]] const QString& lastFilter() const { return m_lastFilter; }

    std::function<void(const DialogRecord&)> whileOpen;

private:
    std::optional<Answer> nextAnswer();
    void record(DialogRecord entry);

    std::vector<DialogRecord> m_records;
    std::deque<Answer> m_answers;
    QString m_lastPreselect;
    QString m_lastSuggestedName;
    QString m_lastFilter;
};

} // namespace testing_support
