#include "file_listing.h"

namespace viewer {

bool hasWildcards(QStringView text)
{
    return text.contains(u'*') || text.contains(u'?');
}

bool matchesWildcard(QStringView, QStringView)
{
    return false;
}

QStringList listPictureFiles(const QString&, const QString&, const QLocale&)
{
    return {};
}

ListPathTarget splitListPath(const QString&, const QString&)
{
    return {};
}

} // namespace viewer
