#include "key_router.h"

#include "guard.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace platform {

KeyRouter& KeyRouter::instance()
{
    static KeyRouter* router = [] {
        auto* created = new KeyRouter;
        created->setParent(qApp);
        qApp->installEventFilter(created);
        return created;
    }();
    return *router;
}

KeyRouter::KeyRouter() = default;

void KeyRouter::setMainWindow(QWidget* window, QMenuBar* menuBar)
{
    m_mainWindow = window;
    m_mainMenuBar = menuBar;
    setMenuBar(window, menuBar);
}

void KeyRouter::setMenuBar(QWidget* window, QMenuBar* menuBar)
{
    m_menuBars.insert(window, menuBar);
    connect(window, &QObject::destroyed, this, [this, window] { m_menuBars.remove(window); });
}

void KeyRouter::setPopupMenu(QWidget* control, QMenu* menu)
{
    m_popupMenus.insert(control, menu);
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QObject::destroyed, this, [this, control] { m_popupMenus.remove(control); });
    connect(control, &QWidget::customContextMenuRequested, control, [control, menu](const QPoint& where) {
        guarded([&] {
            if (menu)
                menu->popup(control->mapToGlobal(where));
        });
    });
}

QMenu* KeyRouter::popupMenu(const QWidget* control) const
{
    return m_popupMenus.value(control);
}

QAction* findShortcut(const QWidget* menu, const QKeySequence& key)
{
    if (!menu)
        return nullptr;
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        if (!action->shortcut().isEmpty() && action->shortcut() == key)
            return action;
        if (QAction* inner = findShortcut(action->menu(), key))
            return inner;
    }
    return nullptr;
}

bool KeyRouter::mainMenuReachable() const
{
    if (!m_mainWindow || !m_mainWindow->isEnabled())
        return false;
    // A modal window disables the windows it blocks; the main window's menu is then out of reach.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_mainWindow)
        return true;
    if (modal->windowModality() == Qt::ApplicationModal)
        return false;
    const QWidget* owner = modal->parentWidget() ? modal->parentWidget()->window() : nullptr;
    return owner != m_mainWindow;
}

QAction* KeyRouter::route(const QWidget* focus, const QKeySequence& key) const
{
    if (!focus)
        return nullptr;
    for (const QWidget* widget = focus; widget; widget = widget->parentWidget()) {
        if (QAction* action = findShortcut(m_popupMenus.value(widget), key))
            return action;
        if (widget->isWindow())
            break;
    }
    if (QAction* action = findShortcut(m_menuBars.value(focus->window()), key))
        return action;
    if (mainMenuReachable())
        return findShortcut(m_mainMenuBar, key);
    return nullptr;
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_enabled || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Open menus handle their own keys; window-system windows pass the key on to their widgets.
    if (!widget || qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget))
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const QKeyCombination combination(keyEvent->modifiers() & ~Qt::KeypadModifier, Qt::Key(keyEvent->key()));
    if (keyEvent->key() == Qt::Key_unknown || keyEvent->key() == 0)
        return false;
    QAction* action = route(widget, QKeySequence(combination));
    if (!action)
        return false;
    // Claim the key at ShortcutOverride so that neither the focused control nor Qt's shortcut map takes it,
    // then run the item when the key press itself arrives.
    event->accept();
    if (event->type() == QEvent::KeyPress && action->isEnabled())
        guarded([action] { action->trigger(); });
    return true;
}

} // namespace platform
