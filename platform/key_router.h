#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QPointer>

class QAction;
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

    QPointer<QWidget> m_mainWindow;
    QPointer<QMenuBar> m_mainMenuBar;
    QHash<const QWidget*, QPointer<QMenuBar>> m_menuBars;
    QHash<const QWidget*, QPointer<QMenu>> m_popupMenus;
    bool m_enabled = true;
};

/** The first visible item of `menu` or its submenus with shortcut `key`, or nullptr. */
[[nodiscard]] QAction* findShortcut(const QWidget* menu, const QKeySequence& key);

} // namespace platform
