#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace viewer {
class MainLink;
}

/**
 * The phrase search window "Szukanie": a sizeable tool window, created hidden at start-up. It searches the raw
 * bytes of every file the file list shows for the phrase and lists the names of those holding it; from the list
 * a hit is opened as the current picture, removed from the list, or the list saved as a text file.
 *
 * The search itself runs on worker threads (search::DirectorySearch) while this window's thread waits for
 * them as a command holding the thread would: the windows repaint, and nothing else runs until it ends.
 */
class TFSzukaAll : public QWidget {
public:
    explicit TFSzukaAll(viewer::MainLink& main);
    ~TFSzukaAll() override;

    QFrame* pnlGorny;
    QLabel* StaticText1;
    QLineEdit* edFraza;
    QPushButton* BitWyszukaj;
    QCheckBox* CheckBox1;
    QFrame* pnlSredni;
    QListWidget* ListBoxResult;
    QFrame* pnlDolny;
    /** The search counter: the index of the entry being searched, "0" whenever no search runs; never visible. */
    QLabel* lblIndex;
    QPushButton* BitUruchom;
    QPushButton* BitUsuwa;
    QPushButton* BitZapisz;
    QPushButton* BitZamknij;

    /** Places the window beside the file list window and clears the phrase, the switch and the hits. */
    void FormShow();
    /** Searches every file of the file list for the phrase and lists the hits, then sums up in a box. */
    void BitWyszukajClick();
    void ListBoxResultClick();
    /** Makes the selected hit the current picture, looked up in the file list's directory of this moment. */
    void BitUruchomClick();
    /** Removes the selected hit from the list (not from the disk) once the user confirms. */
    void BitUsuwaClick();
    /** Writes the hit list into a text file the user names. */
    void BitZapiszClick();
    void BitZamknijClick();
    /** Esc closes the window; gives back whether the key was taken. */
    bool FormKeyPress(int key);

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void selectHit(int row);
    void clearHits();
    void addHit(const QString& name);
    /** The exact name of the hit in `row` (its entry shows it as the user reads it). */
    [[nodiscard]] QString hitName(int row) const;

    viewer::MainLink& m_main;
    /** The save dialog's name from its previous use. */
    QString m_lastSaveName;
    /** Set while the program selects a hit, which is no click. */
    bool m_selectingByProgram = false;
};

extern QPointer<TFSzukaAll> FSzukaAll;
