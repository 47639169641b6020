#include "key_router.h"

#include "dialogs.h"
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
        if (action->shortcuts().contains(key))
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
    if (!focus || dialogOpen())
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
    if (dialogOpen()) {
        // A dialog owned by one window leaves the others enabled, and Qt's menu bar would still take the Alt key
        // there: an access key, or Alt alone and then Enter, would open a second chooser or end the program under
        // the open one. In a window with a menu bar, keys with Alt held go nowhere; every other key, the dialog's
        // own included, reaches its control.
        if (!m_menuBars.value(widget->window()) || !(keyEvent->modifiers() & Qt::AltModifier))
            return false;
        event->accept();
        return true;
    }
    if (handleAccessKey(widget, keyEvent))
        return true;
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

namespace {

/** The visible, enabled items of the menu bar whose caption underlines the key's letter. */
QList<QAction*> itemsWithAccessKey(const QMenuBar* bar, const QKeyEvent* event)
{
    QList<QAction*> items;
    if (!bar || event->modifiers() != Qt::AltModifier)
        return items;
    const QKeySequence key(QKeyCombination(Qt::AltModifier, Qt::Key(event->key())));
    for (QAction* action : bar->actions()) {
        if (action->isVisible() && action->isEnabled() && !action->isSeparator()
            && QKeySequence::mnemonic(action->text()) == key)
            items.append(action);
    }
    return items;
}

} // namespace

bool KeyRouter::handleAccessKey(QWidget* widget, QKeyEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    // Enter runs the item a shared access key highlighted, Esc leaves it; any other key forgets it.
    if (m_accessBar && m_accessHighlight && m_accessBar->activeAction() == m_accessHighlight) {
        const int key = event->key();
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                event->accept();
                if (press) {
                    const QPointer<QAction> chosen = m_accessHighlight;
                    m_accessBar->setActiveAction(nullptr);
                    m_accessHighlight = nullptr;
                    if (key != Qt::Key_Escape && chosen)
                        guarded([&] { chosen->trigger(); });
                }
                return true;
            }
        }
    } else {
        m_accessHighlight = nullptr;
    }

    QMenuBar* bar = m_menuBars.value(widget->window());
    const QList<QAction*> items = itemsWithAccessKey(bar, event);
    if (items.size() < 2)
        return false;
    event->accept();
    if (press) {
        const qsizetype at = m_accessHighlight ? items.indexOf(m_accessHighlight) : -1;
        m_accessBar = bar;
        m_accessHighlight = items.at((at + 1) % items.size());
        bar->setActiveAction(m_accessHighlight);
    }
    return true;
}

} // namespace platform
