#include "description_field.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTextDocument>

namespace viewer {

DescriptionField::DescriptionField(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // Every change of the characters passes here, whoever makes it: the program marks its own.
    connect(document(), &QTextDocument::contentsChange, this,
        [this](int position, int removed, int added) { contentsChange(position, removed, added); });
}

QString DescriptionField::text() const
{
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QChar::LineFeed);
    raw.replace(QChar::LineSeparator, QChar::LineFeed);
    return raw;
}

void DescriptionField::setProgramText(const QString& text)
{
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
    m_modified = false;
}

void DescriptionField::contentsChange(int, int removed, int added)
{
    if (!m_settingText && (removed > 0 || added > 0))
        m_modified = true;
}

void DescriptionField::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Qt appends each item's shortcut after a tab; those keys mean other commands in this program.
    for (QAction* action : menu->actions()) {
        action->setShortcut({});
        action->setText(action->text().section(QLatin1Char('\t'), 0, 0));
    }
    menu->popup(event->globalPos());
}

} // namespace viewer
