#pragma once

namespace platform {

/**
 * Loads Qt's own Polish catalogue (the buttons and labels of Qt's dialogs, the text fields' context menus) into
 * the application, whatever the user's locale: the program speaks Polish everywhere. Gives back whether the
 * catalogue was found; without it Qt's texts stay English and nothing else changes.
 */
bool installPolishQtTranslation();

} // namespace platform
