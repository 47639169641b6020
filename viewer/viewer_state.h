#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QRect>

class QFrame;
class QLabel;

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
    /** Whether the picture window fits pictures larger than the screen to it (else shows their natural size). */
    bool dopasuj = false;
};

/**
 * What the viewer windows need of the main window: its shared state and a few operations. The windows never
 * reach the main window's controls themselves.
 */
class MainLink {
public:
    virtual ~MainLink() = default;

    [[nodiscard]] virtual ViewerState& state() = 0;
    /** The main window's frame on the screen (the file list window places itself at its lower right corner). */
    [[nodiscard]] virtual QRect mainFrame() const = 0;
    /** Gives `control` the pop-up menu that every viewer window shares, for its right click and its keys. */
    virtual void attachPopupMenu(QWidget* control) = 0;
    /** Shows the picture counter: the 1-based position of `selectedIndex` (-1: none) of `count` entries. */
    virtual void setCounter(int selectedIndex, int count) = 0;
    /** The automatic show's delay in whole seconds, as the bottom panel shows it. */
    [[nodiscard]] virtual int showDelaySeconds() const = 0;
    virtual void setShowDelaySeconds(int seconds) = 0;
    /** Whether the automatic show starts again from the first picture at the end. */
    [[nodiscard]] virtual bool repeatShow() const = 0;
    /** Steps to the previous or the next picture of the list, as the main menu's commands do. */
    virtual void previousPicture() = 0;
    virtual void nextPicture() = 0;
};

/** Makes `window` visible and brings it to the front; its FormShow runs only when it was hidden. */
void showWindow(QWidget* window);

/** The counter text: the 1-based position, " / ", the number of entries (so "0 / 12" with none selected). */
[[nodiscard]] QString counterText(int selectedIndex, int count);

} // namespace viewer

class TFFotka;
class TFPismo;
class TFPliki;

/** The viewer windows, which call one another directly; each is null once it has been freed. */
extern QPointer<TFFotka> FFotka;
extern QPointer<TFPismo> FPismo;
extern QPointer<TFPliki> FPliki;
