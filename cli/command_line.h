#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <ostream>

/**
 * The command line of zelkavio-opis, shared by its two programs: reading the arguments, checking them, printing
 * and reporting. Qt Core only, so that the search runs without the picture layers (see cli/CMakeLists.txt).
 */
namespace cli {

enum ExitCode : int {
    Success = 0,
    Failure = 1, // the command could not be done (missing file, invalid picture, refused strip, ...)
    WrongUsage = 2, // unknown command or option, missing or surplus arguments; for search also a failure
    NotFound = 1, // search: no picture holds the phrase
};

/** A wrong command line: reported with a hint to --help and exit status 2. */
struct UsageError {
    QString message;
};

struct CommandLine {
    QString command;
    QStringList positional;
    std::map<QString, std::optional<QString>> options; // an option and its value, if it takes one
};

/** Splits the arguments (the command first) into positional arguments and known options; "--" ends the options. */
[[nodiscard]] CommandLine parse(const QStringList& args);

/** Raises UsageError unless the line has exactly `positional` arguments and no option but `allowedOptions`. */
void expect(const CommandLine& line, qsizetype positional, std::initializer_list<const char*> allowedOptions);

/** The same, for a command that takes `positional` arguments or more. */
void expectAtLeast(const CommandLine& line, qsizetype positional, std::initializer_list<const char*> allowedOptions);

void print(std::ostream& out, const QByteArray& bytes);
void printLine(std::ostream& out, const QString& text);

/**
 * Runs `command` for the command line `args` and gives its exit code. A UsageError is reported on `err` with a
 * hint to --help (exit status 2), any other exception with its message (exit status 1, for search 2), and so is
 * output that could not be written.
 */
[[nodiscard]] int runReporting(
    const QStringList& args, std::ostream& out, std::ostream& err, const std::function<int()>& command);

} // namespace cli
