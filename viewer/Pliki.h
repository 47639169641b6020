#pragma once

#include "viewer_state.h"

#include "file_list_box.h"
#include "show_link.h"
#include "show_machine.h"

#include "platform/show_timer.h"
#include "platform/sound_length.h"
#include "platform/sound_player.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

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
    /** The automatic show's step timer, initially off with 1000 ms; its ticks run Timer11Timer(). */
    platform::ShowTimer* Timer11;
    /** Plays the current picture's sound. */
    platform::SoundPlayer MediaPlayer1;
    /** Measures the next picture's sound; never plays. */
    platform::SoundLengthProbe MP2;
    /** The automatic show's state and rules. */
    viewer::ShowMachine Show;

    QString CurrentName;
    /** The current picture's file: the list's directory and CurrentName. */
    platform::FilePath CurrentPath;
    QString NextName;
    platform::FilePath SoundName;
    platform::FilePath WavPath;
    platform::FilePath Mp3Path;

    /**
     * The list index at which the automatic show ends or restarts: the last entry of the list as it is now, -1
     * for an empty list. Counted at each tick, so a directory opened or a list read again since the window was
     * last activated moves it at once.
     */
    [[nodiscard]] int ShowEndIndex() const { return FLBox1->entryCount() - 1; }

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

    /**
     * Sets the show delay from the configured one (`lblSpin`) and measures the sound of the entry after the
     * selected one (entry 0 after the last): a sound longer than the delay raises it to its length in whole
     * seconds, rounded up, which also goes into `lblCzas2`. Bare names resolve against the working
     * directory. A sound that cannot be measured raises, leaving the delay at `lblSpin` and MP2 closed.
     * Meanwhile the sound of the entry after that one is measured in the background, so that the following
     * call finds its length remembered instead of scanning the file in the GUI thread.
     */
    void PrepareNextSound();
    /**
     * Starts the current picture's sound (its ".mp3", else its ".wav"), which stops the sound of an earlier
     * picture; a picture without a sound leaves an earlier one playing to its end. A sound that cannot be
     * opened raises and leaves MediaPlayer1 closed.
     */
    void PlayPictureSound();
    /** One step of the automatic show: end, restart or advance. */
    void Timer11Timer() { Show.tick(); }

    void Edit1Change();
    void FormShow();
    void FormActivate();
    /** "&" steps back, "(" steps forward; gives back whether the character was taken. */
    bool FormKeyPress(const QString& character);
    /** Closes both sound players; a running show goes on ticking. */
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /** Has the picture window read ahead the entry that follows entry `index`. */
    void prepareNextPicture(int index);
    /**
     * After each reading of the list: starts the sound output in the background when the first picture has a
     * sound, and measures the second picture's sound there.
     */
    void prepareFirstSounds();
    /** Measures the sound of entry `index`, if any, on the measuring thread. */
    void measureEntrySoundInBackground(int index);

    viewer::MainLink& m_main;
    viewer::ShowLink m_showLink;
};
