#include "scripted_dialogs.h"

#include <stdexcept>

namespace testing_support {

namespace {

template <typename T> std::optional<T> answerAs(const std::optional<ScriptedDialogs::Answer>& answer)
{
    if (!answer || std::holds_alternative<std::monostate>(*answer))
        return std::nullopt;
    if (const T* value = std::get_if<T>(&*answer))
        return *value;
    throw std::logic_error("the queued dialog answer is of another kind than the dialog asked");
}

} // namespace

void ScriptedDialogs::record(DialogRecord entry)
{
    // The hook gets a copy: it may open further boxes, which grow the record list.
    m_records.push_back(entry);
    const platform::DialogScope open;
    if (whileOpen)
        whileOpen(entry);
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::nextAnswer()
{
    if (m_answers.empty())
        return std::nullopt;
    Answer answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

void ScriptedDialogs::message(const QString& text)
{
    record({DialogRecord::Kind::Message, text});
}

void ScriptedDialogs::error(const QString& text)
{
    record({DialogRecord::Kind::Error, text});
}

void ScriptedDialogs::report(const QString& text)
{
    record({DialogRecord::Kind::Report, platform::reportText(text)});
}

void ScriptedDialogs::showChanging(platform::ChangingBox kind, platform::BoxText& text)
{
    const bool report = kind == platform::ChangingBox::Report;
    const auto shown = [report](const QString& t) { return report ? platform::reportText(t) : t; };
    text.showIn([this, shown](const QString& changed) {
        m_records.push_back({DialogRecord::Kind::TextChange, shown(changed)});
    });
    try {
        record({report ? DialogRecord::Kind::Report : DialogRecord::Kind::Error, shown(text.text())});
    } catch (...) {
        text.showIn(nullptr);
        throw;
    }
    text.showIn(nullptr);
}

bool ScriptedDialogs::confirm(const QString& text)
{
    record({DialogRecord::Kind::Confirm, text});
    return answerAs<bool>(nextAnswer()).value_or(false);
}

std::optional<QString> ScriptedDialogs::chooseFolder(QWidget*, const QString& title, const QString& preselect)
{
    m_lastPreselect = preselect;
    record({DialogRecord::Kind::Folder, title});
    return answerAs<QString>(nextAnswer());
}

std::optional<QColor> ScriptedDialogs::chooseColour(QWidget*, const QColor& initial)
{
    DialogRecord entry {DialogRecord::Kind::Colour, initial.name()};
    entry.colour = initial;
    record(entry);
    return answerAs<QColor>(nextAnswer());
}

std::optional<platform::FontChoice> ScriptedDialogs::chooseFont(QWidget*, const platform::FontChoice& initial)
{
    DialogRecord entry {DialogRecord::Kind::Font, initial.font.family()};
    entry.colour = initial.colour;
    entry.fontSize = initial.font.pointSize();
    entry.fontStyle = (initial.font.bold() ? 1 : 0) | (initial.font.italic() ? 2 : 0)
        | (initial.font.underline() ? 4 : 0) | (initial.font.strikeOut() ? 8 : 0);
    record(entry);
    return answerAs<platform::FontChoice>(nextAnswer());
}

std::optional<QString> ScriptedDialogs::chooseSaveFile(
    QWidget*, const QString& title, const QString& suggestedName, const QString& filter)
{
    m_lastSuggestedName = suggestedName;
    m_lastFilter = filter;
    DialogRecord entry {DialogRecord::Kind::SaveFile, title};
    entry.suggestedName = suggestedName;
    entry.filter = filter;
    record(entry);
    return answerAs<QString>(nextAnswer());
}

} // namespace testing_support
