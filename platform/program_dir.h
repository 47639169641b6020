#pragma once

#include <QString>

#include <optional>

/**
 * Where the program finds the files it keeps: "Zelkavio.ini" and "Zelkavio.rtf" live in the directory of the
 * executable file (never the working directory), a build folder or any folder the program was copied to. An
 * installed program, one whose `../share/zelkavio/` folder exists, finds its help there and keeps its settings
 * in the user's configuration folder; a file beside it still wins. Tests point the program's directory
 * elsewhere with setProgramDirectory().
 */
namespace platform {

/** The program's directory without a trailing separator. */
[[nodiscard]] QString programDirectory();

/** The path of `name` in the program's directory. */
[[nodiscard]] QString programFile(const QString& name);

/** Makes programDirectory() give `directory` (a test's temporary folder); std::nullopt restores the real one. */
void setProgramDirectory(const std::optional<QString>& directory);

/** The installed program's data folder, `../share/zelkavio` beside the program's directory. */
[[nodiscard]] QString sharedDataDirectory(const QString& programDir);

/** Whether the program in `programDir` is installed: its shared data folder exists. */
[[nodiscard]] bool isInstalled(const QString& programDir);

/** A data file the program reads (the help): beside the program when it is there, else in the shared folder. */
[[nodiscard]] QString dataFile(const QString& name);

/** Where the settings file lives, and whether its folder is the user's configuration folder. */
struct SettingsPlace {
    QString path;
    /** The folder is made on the first save (it is the user's, not the program's). */
    bool createFolder = false;
};

/**
 * The settings file `name` for a program in `programDir`: beside it when a file is there or when the program
 * is not installed; else `<config>/zelkavio/<name>`, where `<config>` is `xdgConfigHome` when that is an
 * absolute path and `<home>/.config` otherwise (an empty or relative value counts as unset).
 */
[[nodiscard]] SettingsPlace settingsPlaceFor(
    const QString& programDir, const QString& name, const QString& xdgConfigHome, const QString& home);

/** settingsPlaceFor() for this program, with `XDG_CONFIG_HOME` and the home folder of this process. */
[[nodiscard]] SettingsPlace settingsPlace(const QString& name);

/**
 * Makes the folder of `filePath` when it is missing: its parents as usual, the folder itself readable by its
 * owner only, as the user's configuration folders are. Raises IoError when it cannot be made.
 */
void makeFolderFor(const QString& filePath);

} // namespace platform
