#pragma once

#include <QGroupBox>

class QFrame;
class QLabel;
class QMenu;
class QSpinBox;

namespace viewer {

/**
 * The state the windows share, kept by the main window as the texts of invisible labels (`GroupBox1`):
 * numbers are decimal text and are converted only where they are used, so a hand-edited settings file fails
 * at the window that reads the value, not earlier. `pnlKolor` is an invisible panel whose font and colours
 * are the description field's font, text colour (WindowText) and background (Window).
 */
class ViewerState : public QGroupBox {
public:
    explicit ViewerState(QWidget* parent);

    QLabel* lblDir;
    QLabel* lblPlik;
    QLabel* lblKasuj;
    QLabel* lblSpin;
    QLabel* lblCzas2;
    QLabel* lblLewa;
    QLabel* lblTop;
    QLabel* lblSzer;
    QLabel* lblWys;
    QLabel* lblLewaFotka;
    QLabel* lblTopFotka;
    QFrame* pnlKolor;
};

/** What the viewer windows need of the main window. */
class MainLink {
public:
    virtual ~MainLink() = default;

    [[nodiscard]] virtual ViewerState& state() = 0;
    /** The main window itself (the file list window places itself at its lower right corner). */
    [[nodiscard]] virtual QWidget* mainWindow() = 0;
    /** `PopupMenu1`, shared by every viewer window. */
    [[nodiscard]] virtual QMenu* popupMenu() = 0;
    /** `lblNa_pliku`, the picture counter. */
    [[nodiscard]] virtual QLabel* counter() = 0;
    /** `SpinEdit1`, the show delay in seconds. */
    [[nodiscard]] virtual QSpinBox* showDelay() = 0;

    virtual void mnuPoprzedniClick() = 0;
    virtual void mnuNastepnyClick() = 0;
};

/** Makes `window` visible and brings it to the front; its FormShow runs only when it was hidden. */
void showWindow(QWidget* window);

/** The counter text: the 1-based position, " / ", the number of entries (so "0 / 12" with none selected). */
[[nodiscard]] QString counterText(int selectedIndex, int count);

} // namespace viewer

class TFFotka;
class TFPismo;
class TFPliki;

/** The main window as the viewer windows see it; set when the main window is created. */
extern viewer::MainLink* FMainLink;
extern TFFotka* FFotka;
extern TFPismo* FPismo;
extern TFPliki* FPliki;
