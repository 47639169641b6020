#include "hit_list.h"

#include "platform/cp1250.h"
#include "platform/file_names.h"

namespace search {

QString summaryText(const QString& phrase, int hitCount)
{
    return QStringLiteral("Przeszukiwanie frazy  \"") + phrase
        + QStringLiteral("\"  w plikach zostało zakończone.\r\n\r\n            Znaleziono z taką frazą   ")
        + QString::number(hitCount) + QStringLiteral("  plików.");
}

QByteArray hitListFileBytes(const QStringList& names)
{
    QByteArray bytes;
    for (const QString& name : names) {
        // In Windows-1250 when the name fits it; else (a name not in UTF-8 on disk, or with letters the code page
        // lacks) its own bytes, which still find the file, where "?" in place of a letter would not.
        const QByteArray encoded = platform::cp1250::encode(name);
        bytes += platform::cp1250::decode(encoded) == name ? encoded : platform::fileNameBytes(name);
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace search
