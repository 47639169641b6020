#include "file_list_box.h"

#include "file_listing.h"

#include "platform/errors.h"
#include "platform/file_names.h"
#include "platform/guard.h"
#include "store/picture_formats.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStringListModel>
#include <QStyledItemDelegate>

namespace viewer {

namespace {

constexpr int kItemHeight = 13;

/** Rows of the list are a fixed 13 pixels high, whatever height the style would give them. */
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kItemHeight);
        return size;
    }
};

} // namespace

FileListBox::FileListBox(QWidget* parent)
    : QListView(parent)
    , m_model(new QStringListModel(this))
    , m_directory(platform::currentDirectory())
    , m_mask(store::pictureMask())
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setItemDelegate(new FixedRowDelegate(this));
    setIconSize(QSize());
    connect(this, &QAbstractItemView::clicked, this,
        [this] { platform::guarded([this] { userSelectionDone(-2, true); }); });
}

int FileListBox::selectedIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void FileListBox::selectIndex(int index)
{
    if (index < 0 || index >= m_entries.size()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex target = m_model->index(index);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

void FileListBox::readList()
{
    readList(m_directory, m_mask);
}

platform::FilePath FileListBox::entryPath(int index) const
{
    return m_directory / platform::FilePath::fromText(m_entries.value(index));
}

void FileListBox::readList(const platform::FilePath& directory, const QString& mask)
{
    // Nothing changes until the directory has been entered and listed: a directory that can be entered but
    // not read leaves the working directory, the list and its mask as they were.
    const platform::FilePath previous = platform::currentDirectory();
    platform::setCurrentDirectory(directory);
    QStringList names;
    try {
        names = listPictureFiles(directory, mask);
    } catch (...) {
        try {
            platform::setCurrentDirectory(previous);
        } catch (const platform::IoError&) {
            // The old directory is gone too; the list keeps naming it, as it did before this reading.
        }
        throw;
    }
    m_directory = directory;
    m_mask = mask;
    m_entries = std::move(names);
    // The list shows each name as the user reads it; the entries keep the names' exact bytes.
    QStringList shown;
    shown.reserve(m_entries.size());
    for (const QString& name : m_entries)
        shown.push_back(platform::displayFileName(name));
    m_model->setStringList(shown);
    selectIndex(-1);
    writeCompanion(m_mask);
    emit listRead();
}

bool FileListBox::isListDirectory(const platform::FilePath& directory) const
{
    // The directory is kept as it was chosen; a path through a symbolic link names the same directory.
    if (directory == m_directory)
        return true;
    const platform::FilePath canonical = platform::canonicalPath(directory);
    return !canonical.isEmpty() && canonical == platform::canonicalPath(m_directory);
}

void FileListBox::selectName(const QString& name)
{
    const int selected = selectedIndex();
    if (selected >= 0 && m_entries.at(selected) == name)
        return;
    // File names on this system differ by case; an exact match wins over one that ignores case.
    int found = int(m_entries.indexOf(name));
    if (found < 0) {
        for (int i = 0; i < m_entries.size(); ++i) {
            if (m_entries.at(i).compare(name, Qt::CaseInsensitive) == 0) {
                found = i;
                break;
            }
        }
    }
    selectIndex(found);
    writeCompanion(found >= 0 ? m_entries.at(found) : m_mask);
}

void FileListBox::SetListPath(const QString& text)
{
    if (text.isEmpty())
        return;
    const int selected = selectedIndex();
    if (selected >= 0 && platform::FilePath::fromText(text) == entryPath(selected))
        return;
    const ListPathTarget target = splitListPath(text, m_directory.toText());
    const platform::FilePath directory = platform::FilePath::fromText(target.directory);
    if (!isListDirectory(directory))
        readList(directory, m_mask);
    if (target.isMask) {
        readList(m_directory, target.name);
    } else if (!target.name.isEmpty()) {
        selectName(target.name);
        if (selectedIndex() < 0) {
            readList(m_directory, target.name);
            selectName(target.name);
        }
    }
}

void FileListBox::writeCompanion(const QString& text)
{
    if (!m_companion)
        return;
    // Writing the text the edit already holds changes nothing and runs no change handler.
    if (m_companion->text() != text)
        m_companion->setText(text);
    m_companion->selectAll();
}

void FileListBox::userSelectionDone(int before, bool always)
{
    const int after = selectedIndex();
    if (after != before)
        writeCompanion(after >= 0 ? m_entries.at(after) : m_mask);
    if (always || after != before)
        emit chosen();
}

void FileListBox::mousePressEvent(QMouseEvent* event)
{
    // Only the left button selects; the right one opens the pop-up menu through the context menu event.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    m_selectedAtPress = selectedIndex();
    m_pressed = indexAt(event->position().toPoint());
    QListView::mousePressEvent(event);
}

void FileListBox::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::NoButton && !(event->buttons() & Qt::LeftButton)) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void FileListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    // Released over the entry it was pressed on, the view reports a click, which shows the entry. Dragged to
    // another entry, the selection has moved with the mouse: show the entry it moved to.
    const QModelIndex released = indexAt(event->position().toPoint());
    const bool clicked = released.isValid() && released == QModelIndex(m_pressed);
    QListView::mouseReleaseEvent(event);
    m_pressed = QPersistentModelIndex();
    if (!clicked && selectedIndex() != m_selectedAtPress)
        platform::guarded([this] { userSelectionDone(m_selectedAtPress, true); });
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // Ctrl+click and Ctrl+Space would deselect the shown entry; the entry stays selected instead.
    QItemSelectionModel::SelectionFlags flags = QListView::selectionCommand(index, event);
    if (flags.testFlag(QItemSelectionModel::Deselect) || flags.testFlag(QItemSelectionModel::Toggle)) {
        flags &= ~(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle);
        flags |= QItemSelectionModel::ClearAndSelect;
    }
    return flags;
}

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = selectedIndex();
    // With nothing selected the keys start from the top, not from a row that merely has the focus frame.
    if (before < 0 && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    QListView::keyPressEvent(event);
    platform::guarded([&] { userSelectionDone(before, false); });
}

} // namespace viewer
