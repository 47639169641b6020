#pragma once

#include <QPlainTextEdit>

namespace viewer {

/** The longest description, in stored bytes, that the field takes. */
inline constexpr qsizetype kMaxDescriptionBytes = qsizetype {16} * 1024 * 1024;

/**
 * The description field `Memo1`. Its modified flag is set by every change the user makes to the text (typing,
 * cut, paste, undo and redo, also an undo back to the text as loaded) and cleared only when the program sets
 * the text. Qt's own flag turns false again when undo reaches the clean state, so it is not used.
 *
 * A right click shows the field's own edit menu, without the shortcut texts of Qt's menu: here Ctrl+Z saves,
 * Ctrl+X ends the program and Ctrl+A starts the show.
 */
class DescriptionField : public QPlainTextEdit {
public:
    explicit DescriptionField(QWidget* parent);

    [[nodiscard]] bool modified() const { return m_modified; }

    /** The text as stored: paragraphs and line separators joined by "\n", no-break spaces kept. */
    [[nodiscard]] QString text() const;

    /** Sets the text as the program does: the undo history starts afresh and the field is not modified. */
    void setProgramText(const QString& text);
    void clearText() { setProgramText(QString()); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void contentsChange(int position, int removed, int added);

    bool m_modified = false;
    bool m_settingText = false;
};

} // namespace viewer
