#pragma once

#include "command_line.h"

#include <QStringList>

#include <ostream>

namespace cli {

/**
 * `search [--match-case] [--threads N] PHRASE DIR`: prints the names of the pictures in DIR, listed as the
 * viewer lists them, whose bytes hold PHRASE, one a line in list order. Gives Success when a picture holds it,
 * NotFound when none does; raises UsageError, or the failure that stopped the search once the hits before the
 * failing file are printed.
 */
[[nodiscard]] int searchPictures(const CommandLine& line, std::ostream& out);

/** Whether the command line is a search. */
[[nodiscard]] bool isSearch(const QStringList& args);

/** Runs a search command line as runOpis() runs it (the same output, messages and exit codes). */
[[nodiscard]] int runSearch(const QStringList& args, std::ostream& out, std::ostream& err);

} // namespace cli
