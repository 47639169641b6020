// zelkavio-opis: runs `search` itself, over Qt Core and the search only, and hands every other command to
// zelkavio-opis-full beside it. Loading the picture layers (QtGui and the libraries it draws in) would cost the
// search more start-up time than the whole of ripgrep's; the other commands do not mind one exec more.
#include "search_command.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include <unistd.h>

#ifndef ZELKAVIO_OPIS_FULL
#error "ZELKAVIO_OPIS_FULL names the program that runs the other commands"
#endif

namespace {

// Qt's own notices are noise in a tool whose stderr scripts read.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zelkavio-opis: " << message.toStdString() << std::endl;
}

/** The folder of this program, with a trailing "/", or empty when it cannot be told. */
std::string ownFolder(const char* argv0)
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length > 0 && static_cast<std::size_t>(length) < path.size())
        path.resize(static_cast<std::size_t>(length));
    else
        path = argv0 != nullptr ? argv0 : "";
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QFile::decodeName(argv[i]);
    if (cli::isSearch(args)) {
        // No application object either: the search reads files and the locale's name only.
        std::ios::sync_with_stdio(false);
        return cli::runSearch(args, std::cout, std::cerr);
    }
    const std::string folder = ownFolder(argv[0]);
    const std::string full = folder + ZELKAVIO_OPIS_FULL;
    if (folder.empty())
        ::execvp(full.c_str(), argv);
    else
        ::execv(full.c_str(), argv);
    std::cerr << "zelkavio-opis: cannot start " << full << ": " << std::strerror(errno) << '\n';
    return cli::Failure;
}
