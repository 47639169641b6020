#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace search {

/**
 * The summary box's text after a search: the phrase as typed between double quotation marks, an empty line,
 * and the number of files found, with the spacing the program has always shown.
 */
[[nodiscard]] QString summaryText(const QString& phrase, int hitCount);

/**
 * The hit list as its text file holds it: each name followed by CR LF, nothing else (an empty list gives no bytes).
 * A name is written in Windows-1250 when the code page holds it exactly, else as its own bytes on disk.
 */
[[nodiscard]] QByteArray hitListFileBytes(const QStringList& names);

} // namespace search
