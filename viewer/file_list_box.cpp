#include "file_list_box.h"

#include "file_listing.h"

#include "platform/errors.h"
#include "platform/guard.h"

#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>
#include <QStyledItemDelegate>

#include <cerrno>

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
    , m_directory(QDir::currentPath())
    , m_mask(kDefaultMask.toString())
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
    if (!QDir::setCurrent(m_directory))
        throw platform::IoError(errno ? errno : ENOENT, m_directory);
    QStringList names = listPictureFiles(m_directory, m_mask);
    m_entries = std::move(names);
    m_model->setStringList(m_entries);
    selectIndex(-1);
    writeCompanion(m_mask);
}

void FileListBox::changeDirectory(const QString& directory)
{
    if (!QDir::setCurrent(directory))
        throw platform::IoError(errno ? errno : ENOENT, directory);
    // The directory as the system reports it once entered, so that later comparisons see one spelling.
    m_directory = QDir::currentPath();
    readList();
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
    if (selected >= 0 && text == QDir(m_directory).filePath(m_entries.at(selected)))
        return;
    const ListPathTarget target = splitListPath(text, m_directory);
    if (target.directory != m_directory)
        changeDirectory(target.directory);
    if (hasWildcards(target.name)) {
        m_mask = target.name;
        readList();
    } else if (!target.name.isEmpty()) {
        selectName(target.name);
        if (selectedIndex() < 0) {
            m_mask = target.name;
            readList();
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
