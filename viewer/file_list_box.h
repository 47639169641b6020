#pragma once

#include "platform/file_path.h"

#include <QListView>
#include <QString>
#include <QStringList>

class QLineEdit;
class QStringListModel;

namespace viewer {

/**
 * The file list `FLBox1`: the bare names of the pictures in its directory that match its mask, sorted
 * without regard to case, single selection, type-ahead. Its directory is always the process's working
 * directory: every reading of the list makes it so, and bare names taken from the list resolve against it.
 *
 * After every reading nothing is selected and the mask text goes into the companion edit; a selection
 * change made through the list itself (mouse, arrow keys, typing a letter) writes the selected name there
 * and emits chosen(), so the selection and the shown picture never disagree: only the left button selects
 * (a right click opens the pop-up menu and leaves the selection alone), a drag ends with the entry under the
 * release chosen, and nothing the user does deselects an entry. Selecting by program runs nothing.
 */
class FileListBox : public QListView {
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent);

    void setCompanionEdit(QLineEdit* edit) { m_companion = edit; }

    [[nodiscard]] const platform::FilePath& directory() const { return m_directory; }
    [[nodiscard]] const QString& mask() const { return m_mask; }
    [[nodiscard]] int entryCount() const { return int(m_entries.size()); }
    [[nodiscard]] QString entry(int index) const { return m_entries.value(index); }
    [[nodiscard]] const QStringList& entries() const { return m_entries; }
    /** The file entry `index` names: the list's directory and the entry's name. */
    [[nodiscard]] platform::FilePath entryPath(int index) const;

    /** The selected entry's index, or -1. */
    [[nodiscard]] int selectedIndex() const;
    /** Selects entry `index` (-1: none) without running anything. */
    void selectIndex(int index);

    /**
     * Makes the working directory the list's directory and reads the list (one directory pass, one sort).
     * Raises IoError when the directory cannot be entered or read; the list then stays as it was.
     */
    void readList();

    /**
     * The list's one way to move to a path: a directory's full path opens it; a bare name or a path of an
     * existing file selects that file (reading the list with the name as its mask when it is not listed);
     * a last component with "*" or "?" becomes the mask. Raises IoError, changing nothing, when the directory
     * or a last component taken for a subdirectory does not exist. Never shows a picture.
     */
    void SetListPath(const QString& text);

    /** Whether `directory` is the list's directory, however either was spelled (a link, "..", a trailing "/"). */
    [[nodiscard]] bool isListDirectory(const platform::FilePath& directory) const;

signals:
    /** The user chose an entry in the list (FLBox1Click). */
    void chosen();
    /** The list was read again: its entries may name other files now. */
    void listRead();

protected:
    void keyPressEvent(QKeyEvent* event) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    [[nodiscard]] QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event) const override;

private:
    /** Enters `directory` and lists it with `mask`; on failure raises IoError and changes nothing. */
    void readList(const platform::FilePath& directory, const QString& mask);
    void selectName(const QString& name);
    void writeCompanion(const QString& text);
    void userSelectionDone(int before, bool always);

    QStringListModel* m_model;
    QStringList m_entries;
    platform::FilePath m_directory;
    QString m_mask;
    QLineEdit* m_companion = nullptr;
    /** The selection when the left button went down, so that a drag ends with its entry shown. */
    int m_selectedAtPress = -1;
    QPersistentModelIndex m_pressed;
};

} // namespace viewer
