#include "command_line.h"

#include <exception>

namespace cli {

namespace {

bool takesValue(const QString& option)
{
    return option == u"--text" || option == u"--text-file" || option == u"--raw-file" || option == u"--threads";
}

bool isFlag(const QString& option)
{
    return option == u"--raw" || option == u"--match-case" || option == u"--recursive" || option == u"--json"
        || option == u"--dry-run" || option == u"--force" || option == u"--embed" || option == u"--lossy"
        || option == u"--partial" || option == u"--by-path";
}

} // namespace

CommandLine parse(const QStringList& args)
{
    CommandLine line;
    line.command = args.value(0);
    bool onlyPositional = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositional || !arg.startsWith(u'-') || arg == u"-") {
            line.positional << arg;
        } else if (arg == u"--") {
            onlyPositional = true;
        } else if (isFlag(arg) || takesValue(arg)) {
            if (line.options.count(arg) != 0)
                throw UsageError {QStringLiteral("option %1 given twice").arg(arg)};
            if (!takesValue(arg)) {
                line.options[arg] = std::nullopt;
            } else if (i + 1 < args.size()) {
                line.options[arg] = args[++i];
            } else {
                throw UsageError {QStringLiteral("option %1 needs a value").arg(arg)};
            }
        } else {
            throw UsageError {QStringLiteral("unknown option %1").arg(arg)};
        }
    }
    return line;
}

void expect(const CommandLine& line, qsizetype positional, std::initializer_list<const char*> allowedOptions)
{
    expectAtLeast(line, positional, allowedOptions);
    if (line.positional.size() > positional)
        throw UsageError {QStringLiteral("%1: unexpected argument %2").arg(line.command, line.positional[positional])};
}

void expectAtLeast(const CommandLine& line, qsizetype positional, std::initializer_list<const char*> allowedOptions)
{
    if (line.positional.size() < positional)
        throw UsageError {QStringLiteral("%1: missing file name").arg(line.command)};
    for (const auto& [option, value] : line.options) {
        bool allowed = false;
        for (const char* name : allowedOptions)
            allowed = allowed || option == QLatin1String(name);
        if (!allowed)
            throw UsageError {QStringLiteral("%1 does not take %2").arg(line.command, option)};
    }
}

void print(std::ostream& out, const QByteArray& bytes)
{
    out.write(bytes.constData(), static_cast<std::streamsize>(bytes.size()));
}

void printLine(std::ostream& out, const QString& text)
{
    print(out, text.toUtf8() + '\n');
}

int runReporting(const QStringList& args, std::ostream& out, std::ostream& err, const std::function<int()>& command)
{
    try {
        const int status = command();
        out.flush();
        if (!out) {
            err << "zelkavio-opis: cannot write the output\n";
            return args.value(0) == u"search" ? WrongUsage : Failure;
        }
        return status;
    } catch (const UsageError& e) {
        print(err, "zelkavio-opis: " + e.message.toUtf8() + "\nTry 'zelkavio-opis --help'.\n");
        return WrongUsage;
    } catch (const std::exception& e) {
        err << "zelkavio-opis: " << e.what() << '\n';
        // search answers as grep: 1 means nothing found, so a failure is 2.
        return args.value(0) == u"search" ? WrongUsage : Failure;
    }
}

} // namespace cli
