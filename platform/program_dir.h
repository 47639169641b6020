#pragma once

#include <QString>

#include <optional>

/**
 * The program's own directory, where "Zelkavio.ini" and "Zelkavio.rtf" live. It is the directory of the
 * executable file, never the working directory; tests point it elsewhere with setProgramDirectory().
 */
namespace platform {

/** The program's directory without a trailing separator. */
[[nodiscard]] QString programDirectory();

/** The path of `name` in the program's directory. */
[[nodiscard]] QString programFile(const QString& name);

/** Makes programDirectory() give `directory` (a test's temporary folder); std::nullopt restores the real one. */
void setProgramDirectory(const std::optional<QString>& directory);

} // namespace platform
