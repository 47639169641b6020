#pragma once

#include "command_line.h"

#include <ostream>

/**
 * The commands that carry descriptions beyond the viewer: dump and restore of a folder's descriptions, and export to
 * and import from the captions other photo programs read. The work is interop_core's; these read the command line
 * and print. Each goes on past a file it cannot handle, says why on `err`, and exits with Failure at the end.
 */
namespace cli {

/** `dump [--recursive] [--json] DIR...`: one record per picture file on `out`. */
[[nodiscard]] int dumpDescriptions(const CommandLine& line, std::ostream& out, std::ostream& err);

/**
 * `restore [--dry-run] [--force] [--partial] [--by-path] DUMP DIR`: a line per record not already there, and a
 * summary; warnings about the dump itself on `err`.
 */
[[nodiscard]] int restoreDescriptions(const CommandLine& line, std::ostream& out, std::ostream& err);

/** `export-xmp [--embed] FILE|DIR...`. */
[[nodiscard]] int exportXmp(const CommandLine& line, std::ostream& out, std::ostream& err);

/** `import-xmp [--force] [--lossy] FILE|DIR...`. */
[[nodiscard]] int importXmp(const CommandLine& line, std::ostream& out, std::ostream& err);

} // namespace cli
