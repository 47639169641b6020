#include "description_text.h"

#include "platform/cp1250.h"

namespace viewer {

QString fieldTextFromDescription(const QByteArray& normalised)
{
    QString text = platform::cp1250::decode(normalised);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QByteArray descriptionFromFieldText(const QString& rawText)
{
    QString text = rawText;
    text.replace(QChar::ParagraphSeparator, QChar::LineFeed);
    text.replace(QChar::LineSeparator, QChar::LineFeed);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar::CarriageReturn, QChar::LineFeed);
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return platform::cp1250::encode(text);
}

} // namespace viewer
