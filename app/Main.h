#pragma once

#include "FBrowse.h"

#include "viewer/viewer_state.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace settings {
struct Settings;
}

/**
 * The main window: a maximised window without a title bar whose backdrop holds the menu bar, the shared
 * pop-up menu and the bottom panel, and which keeps the viewer state for the other windows. Every command
 * of the program starts here.
 */
class TFMain : public QMainWindow, public viewer::MainLink {
public:
    TFMain();
    ~TFMain() override;

    // The backdrop and the bottom panel with its controls, left to right.
    QFrame* Panel1;
    QFrame* pnlDolny;
    QLabel* StaticText1;
    QLabel* lblKatalog;
    QLabel* StaticText2;
    QLabel* lblNa_pliku;
    QPushButton* BitPoprzedni;
    QPushButton* BitKolejny;
    QPushButton* BitAuto;
    QPushButton* BitStop;
    QLabel* StaticText4;
    QSpinBox* SpinEdit1;
    QCheckBox* CheckRepetuj;
    QLabel* StaticText3;
    QScrollBar* SB1;
    viewer::ViewerState* GroupBox1;
    TFolderBrowse* FolderBrowse1;

    QMenuBar* MainMenu1;
    QAction* mnuKatalog;
    QMenu* mnuEdycja;
    QAction* mnuPoprzedni;
    QAction* mnuNastepny;
    QAction* mnuAuto;
    QAction* mnuStop;
    QAction* mnuPokazOpis;
    QAction* mnuUkryjOapisy;
    QAction* mnuZapis;
    QAction* mnuKasuj;
    QAction* mnuPodkatalog;
    QAction* mnuSzuka;
    QMenu* mnuUstaw;
    QAction* mnuKolor_Ekranu;
    QAction* mnuKolor;
    QAction* mnuFonty;
    QAction* mnuLitery;
    QAction* mnuZapisSetup;
    QMenu* mnuPomoc;
    QAction* mnuFAQ;
    QAction* mnuAutor;
    QAction* mnuKoniec;

    QMenu* PopupMenu1;
    QAction* pupKatalog;
    QAction* pupSzuka;
    QAction* pupPoprzedni;
    QAction* pupNastepny;
    QAction* pupAuto;
    QAction* pupStop;
    QAction* pupKasujOpis;
    QAction* pupZapiszOpis;
    QAction* pupPokazNapisy;
    QAction* pupUkryjNapisy;
    QAction* pupUndo;
    QAction* pupCopy;
    QAction* pupCut;
    QAction* pupPaste;
    QAction* pupKoniec;
    // Beyond the classic items: the picture window's fit and zoom.
    QAction* pupDopasuj;
    QAction* pupPowieksz;
    QAction* pupPomniejsz;

    void FormCreate();
    /**
     * Opens the folder given on the command line (see setStartFolder()), or else the remembered directory when
     * it still exists.
     */
    void FormShow();
    /**
     * Makes the next FormShow() list `folder` (an absolute path) in place of the remembered directory, as if
     * it had been chosen through "Katalog", and then select and show its entry `picture` (a bare name) as a
     * click on it would; an empty `picture` selects nothing.
     */
    void setStartFolder(const QString& folder, const QString& picture);
    /** Frees the picture, description and file list windows; the main window goes with them. */
    void FormClose();

    /** Reads the settings file (beside the executable, or the user's when installed) into the state and controls. */
    void ReadSettings();
    /** Puts read settings into the viewer state, the colours and fonts, `lblDir` and `CheckRepetuj`. */
    void applySettings(const settings::Settings& values);
    /**
     * Writes the viewer state and the controls to the settings file (settings::settingsFilePath()), each value taken
     * now. Raises AppError "Unable to write to <path>" when the write is refused; the file is then unchanged.
     */
    void WriteSettings();
    /** The values WriteSettings writes, gathered from the places they live in. */
    [[nodiscard]] settings::Settings currentSettings() const;

    /** The backdrop colour, which the two panels take. */
    [[nodiscard]] QColor backdropColour() const;
    void setBackdropColour(const QColor& colour);
    [[nodiscard]] QColor panelTextColour() const;
    void setPanelTextColour(const QColor& colour);

    void mnuKatalogClick();
    /** Lists `directory` and makes it the open one, as a choice through "Katalog" does. */
    void openDirectory(const QString& directory);
    void pupKatalogClick() { mnuKatalogClick(); }
    void mnuPodkatalogClick();
    void mnuKoniecClick();
    void pupKoniecClick() { mnuKoniecClick(); }
    void mnuAutorClick();
    /** Opens the search window, keeping its phrase and hits when it is open already. */
    void mnuSzukaClick();
    void BitPoprzedniClick() { mnuPoprzedniClick(); }
    void BitKolejnyClick() { mnuNastepnyClick(); }
    void BitAutoClick();
    void BitStopClick();
    /** Starts the automatic show (again): the delay on the panel becomes the configured one. */
    void mnuAutoClick();
    /** Only disables the show's timer: windows, sound and delays stay as they are. */
    void mnuStopClick();
    /** Sets this program's output volume on both channels from the bar's position (0..65535). */
    void SB1Change();
    void mnuPoprzedniClick();
    void mnuNastepnyClick();

    // The description editing commands.
    void mnuZapisClick();
    void pupZapiszOpisClick() { mnuZapisClick(); }
    void mnuKasujClick();
    void pupKasujOpisClick() { mnuKasujClick(); }
    void pupUndoClick();
    void pupCopyClick();
    void pupCutClick();
    void pupPasteClick();
    void mnuPokazOpisClick();
    void pupPokazNapisyClick() { mnuPokazOpisClick(); }
    /** Only hides: the window's close handling, which stores its geometry, does not run. */
    void mnuUkryjOapisyClick();
    void pupUkryjNapisyClick() { mnuUkryjOapisyClick(); }

    // The settings menu and the help.
    void mnuKolor_EkranuClick();
    void mnuKolorClick();
    void mnuFontyClick();
    void mnuLiteryClick();
    void mnuZapisSetupClick();
    /** Opens a fresh help window, modal to the whole program, and frees it when it closes. */
    void mnuFAQClick();

    /** Switches the picture window between natural size and fit; the item's check mark shows fit. */
    void pupDopasujClick();
    void pupPowiekszClick();
    void pupPomniejszClick();

    // What the viewer windows reach of the main window.
    viewer::ViewerState& state() override { return *GroupBox1; }
    [[nodiscard]] QRect mainFrame() const override { return frameGeometry(); }
    void attachPopupMenu(QWidget* control) override;
    void setCounter(int selectedIndex, int count) override;
    [[nodiscard]] int showDelaySeconds() const override;
    void setShowDelaySeconds(int seconds) override;
    [[nodiscard]] bool repeatShow() const override;
    void previousPicture() override { mnuPoprzedniClick(); }
    void nextPicture() override { mnuNastepnyClick(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createBottomPanel();
    void createMenus();
    void connectHandlers();
    void showStartPicture();

    QString m_startFolder;
    QString m_startPicture;
};

extern QPointer<TFMain> FMain;
