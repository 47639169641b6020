#pragma once

#include "viewer_state.h"

#include "file_list_box.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;

/** List index at which the automatic show ends; 0 until the file list window is first activated. */
extern int ShowEndIndex;

/**
 * The file list window "Pliki katalogu": a topmost tool window at the main window's lower right corner,
 * holding the list of the open directory's pictures. It is the hub of the viewer: every way of choosing a
 * picture ends in ShowCurrentPicture().
 */
class TFPliki : public QWidget {
public:
    explicit TFPliki(viewer::MainLink& main);
    ~TFPliki() override;

    viewer::FileListBox* FLBox1;
    /** The list's companion edit, never visible; its change runs PrepareNextSound(). */
    QLineEdit* Edit1;
    /** The current sound's path, never visible. */
    QLabel* lblMuz;
    /** The automatic show's step timer, initially off. */
    QTimer* Timer11;

    QString CurrentName;
    QString CurrentPath;
    QString NextName;
    QString SoundName;
    int LastIndex = 0;

    /**
     * Makes the selected entry the current picture: clears the description, notes the name and path, starts
     * its sound, updates the counter, reads the picture and its description, shows the description window
     * only for a description that is not empty, shows the picture window and gives the list the focus back.
     * Any failure ends the sequence with the error box naming the file; what was done stays done, and the
     * description block length then holds no number, so nothing is cut from a file whose read failed.
     * Gives back whether the whole sequence succeeded.
     */
    bool ShowCurrentPicture();
    void FLBox1Click() { ShowCurrentPicture(); }

    /** Sets the show delay from the configured one and notes the name of the picture after the selected one. */
    void PrepareNextSound();
    /** Starts the current picture's sound. */
    void PlayPictureSound();

    void Edit1Change();
    void FormShow();
    void FormActivate();
    /** "&" steps back, "(" steps forward; gives back whether the character was taken. */
    bool FormKeyPress(const QString& character);
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    viewer::MainLink& m_main;
};
