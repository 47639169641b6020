#include "search_command.h"

#include "platform/errors.h"
#include "platform/file_names.h"
#include "search/phrase_search.h"
#include "store/picture_formats.h"
#include "viewer/file_listing.h"
#include "viewer/name_order.h"

#include <QLocale>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

int searchPictures(const CommandLine& line, std::ostream& out)
{
    if (line.positional.size() < 2)
        throw UsageError {QStringLiteral("search needs a phrase and a directory")};
    expect(line, 2, {"--match-case", "--threads"});
    search::SearchOptions options;
    if (const auto threads = line.options.find(QStringLiteral("--threads")); threads != line.options.end()) {
        bool ok = false;
        options.threads = threads->second->toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 256)
            throw UsageError {QStringLiteral("--threads needs a number from 1 to 256")};
    }
    const bool matchCase = line.options.count(QStringLiteral("--match-case")) != 0;
    const platform::FilePath directory = platform::absolutePath(platform::FilePath::fromText(line.positional[1]));
    if (!platform::isDirectory(directory))
        throw platform::IoError(ENOTDIR, directory);
    const std::optional<QByteArray> phrase = search::encodePhrase(line.positional[0]);
    const QString mask = store::pictureMask();

    // The names the viewer's file list shows, searched in the directory's own order: only the hits need the
    // list's order, and sorting a few names is much cheaper than sorting them all.
    const viewer::PictureNames found = viewer::readPictureNames(directory, mask);
    QStringList names;
    names.reserve(static_cast<qsizetype>(found.size()));
    for (std::size_t i = 0; i < found.size(); ++i)
        names.push_back(platform::fileNameFromBytes(found[i]));
    search::SearchResult result = search::searchDirectory(directory.toText(), names, phrase, matchCase, options);
    if (result.failure) {
        // Which hits stand before a file that cannot be read depends on the list's order: the search is made
        // again in that order, as the search window makes it.
        names = viewer::listPictureFiles(directory, mask);
        result = search::searchDirectory(directory.toText(), names, phrase, matchCase, options);
    } else {
        std::vector<std::string_view> hitNames;
        hitNames.reserve(result.hits.size());
        for (const int index : result.hits)
            hitNames.push_back(found[static_cast<std::size_t>(index)]);
        std::vector<int> inListOrder;
        inListOrder.reserve(result.hits.size());
        for (const std::uint32_t i : viewer::collationOrder(hitNames, QLocale()))
            inListOrder.push_back(result.hits[i]);
        result.hits = std::move(inListOrder);
    }
    // The names exactly as the directory holds them, whatever their encoding, so that a script can open them.
    for (const int index : result.hits)
        print(out, platform::fileNameBytes(names.at(index)) + '\n');
    if (result.failure)
        std::rethrow_exception(result.failure);
    return result.hits.empty() ? NotFound : Success;
}

bool isSearch(const QStringList& args)
{
    return args.value(0) == u"search";
}

int runSearch(const QStringList& args, std::ostream& out, std::ostream& err)
{
    return runReporting(args, out, err, [&] { return searchPictures(parse(args), out); });
}

} // namespace cli
