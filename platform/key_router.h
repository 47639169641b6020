#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QPointer>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QWidget;

namespace platform {

/**
 * The one owner of every menu shortcut. A key press is offered, in this order, to the pop-up menu of the
 * control that has the focus and then of each of its parents up to its window, to that window's menu bar,
 * and last to the main window's menu bar (only while no modal window blocks the main window). The first menu
 * holding an item with that shortcut runs it, and the key goes no further.
 *
 * Menu items carry their shortcut as a QAction shortcut with Qt::WidgetShortcut context only so that menus
 * show its text; Qt's own shortcut map never fires them, because it would call the same key in two windows
 * ambiguous and would let a text edit take Ctrl+Z before the menu does.
 *
 * While a box or dialog of this layer is open no key reaches any menu: the dialog's fields get them all, and in a
 * window the dialog leaves enabled, keys with Alt held go nowhere, so Qt's own menu bar handling cannot run an
 * item either.
 *
 * Access keys (Alt and the underlined letter) of a window's menu bar: a letter that only one item has opens or
 * runs that item at once, as Qt does. A letter that several items share only moves the highlight from one of
 * them to the next; Enter then runs the highlighted item and Esc leaves the menu bar.
 */
class KeyRouter : public QObject {
public:
    /** The router of this application; installed as an application event filter on first use. */
    static KeyRouter& instance();

    /** The main window and its menu bar, the last place a key is offered to. */
    void setMainWindow(QWidget* window, QMenuBar* menuBar);
    /** A window's own menu bar. */
    void setMenuBar(QWidget* window, QMenuBar* menuBar);
    /** The pop-up menu of a control or window: offered its keys and shown on a right click. */
    void setPopupMenu(QWidget* control, QMenu* menu);
    [[nodiscard]] QMenu* popupMenu(const QWidget* control) const;

    /** The menu item that a key pressed in `focus` runs, or nullptr; see the class comment for the order. */
    [[nodiscard]] QAction* route(const QWidget* focus, const QKeySequence& key) const;

    /** Enables or disables routing (off while tests need raw keys; on by default). */
    void setEnabled(bool enabled) { m_enabled = enabled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyRouter();
    [[nodiscard]] bool mainMenuReachable() const;
    /** Handles a shared access key, or Enter or Esc on the item it highlighted; true when it took the key. */
    bool handleAccessKey(QWidget* widget, QKeyEvent* event);

    QPointer<QWidget> m_mainWindow;
    QPointer<QMenuBar> m_mainMenuBar;
    QHash<const QWidget*, QPointer<QMenuBar>> m_menuBars;
    QHash<const QWidget*, QPointer<QMenu>> m_popupMenus;
    bool m_enabled = true;
    QPointer<QMenuBar> m_accessBar;
    QPointer<QAction> m_accessHighlight;
};

/** The first visible item of `menu` or its submenus with `key` among its shortcuts, or nullptr. */
[[nodiscard]] QAction* findShortcut(const QWidget* menu, const QKeySequence& key);

} // namespace platform
