#include "hit_list.h"

#include "platform/cp1250.h"

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
    for (const QString& name : names)
        bytes += platform::cp1250::encode(name) + "\r\n";
    return bytes;
}

} // namespace search
