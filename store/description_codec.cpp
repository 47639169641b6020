#include "description_codec.h"

#include "platform/cp1250.h"
#include "platform/errors.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace store {

QByteArray normaliseDescription(platform::ByteView stored)
{
    QByteArray result;
    // At most every byte becomes two; reserving the exact worst case would double large descriptions for nothing.
    result.reserve(static_cast<qsizetype>(stored.size()) + 16);
    const std::size_t n = stored.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = stored[i];
        if (c == 0)
            break;
        if (c == '\r') {
            result.append("\r\n", 2);
            if (i + 1 < n && stored[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            // A lone LF (an LF after a CR was taken with it above), so LF CR is two breaks.
            result.append("\r\n", 2);
        } else {
            result.append(static_cast<char>(c));
        }
    }
    return result;
}

QString descriptionToFieldText(platform::ByteView stored)
{
    QString text = platform::cp1250::decode(platform::asBytes(normaliseDescription(stored)));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

namespace {

bool isLineBreak(char16_t c)
{
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

/**
 * The stored bytes in one pass, for a text whose every character has a Windows-1250 byte; empty for any other.
 * Such a text is already composed (the code page holds no combining mark and no character that composition
 * changes), so it gives the same bytes as the general way below, at a fraction of its cost for long texts.
 */
std::optional<QByteArray> encodeMappableText(const QString& text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    const auto* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = p + text.size();
    for (; p != end; ++p) {
        if (isLineBreak(*p)) {
            // A CR before another break character makes one break with it, as CR LF does.
            if (*p == u'\r' && p + 1 != end && isLineBreak(p[1]) && p[1] != u'\r')
                ++p;
            *out++ = '\r';
            *out++ = '\n';
            continue;
        }
        const int b = platform::cp1250::fromUnicode(*p);
        if (b < 0)
            return std::nullopt;
        *out++ = static_cast<char>(b);
    }
    bytes.truncate(out - bytes.data());
    bytes.squeeze();
    return bytes;
}

} // namespace

QByteArray fieldTextToDescription(const QString& text, std::vector<char32_t>* unencodable)
{
    if (unencodable != nullptr)
        unencodable->clear();
    if (std::optional<QByteArray> bytes = encodeMappableText(text))
        return *std::move(bytes);
    QString lines = text;
    lines.replace(QChar::ParagraphSeparator, QChar::LineFeed);
    lines.replace(QChar::LineSeparator, QChar::LineFeed);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QChar::CarriageReturn, QChar::LineFeed);
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    std::vector<char32_t> unheld;
    QByteArray bytes = platform::cp1250::encode(lines, unheld);
    if (unencodable != nullptr)
        *unencodable = std::move(unheld);
    return bytes;
}

QString unencodableMessage(const std::vector<char32_t>& characters)
{
    constexpr std::size_t kListed = 10;
    QStringList names;
    for (std::size_t i = 0; i < characters.size() && i < kListed; ++i) {
        const char32_t c = characters[i];
        // A blank, a control or a lone combining mark would show as nothing: its code point names it.
        const bool visible = QChar::isPrint(c) && !QChar::isSpace(c) && !QChar::isMark(c);
        names << (visible ? QString::fromUcs4(&c, 1)
                          : QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper());
    }
    if (characters.size() > kListed)
        names << QStringLiteral("…");
    return QStringLiteral("Opisu nie zapisano - znaków %1 nie da się zapisać w stronie kodowej Windows-1250.")
        .arg(names.join(QStringLiteral(", ")));
}

QByteArray storedDescription(const QString& text)
{
    std::vector<char32_t> unencodable;
    QByteArray bytes = fieldTextToDescription(text, &unencodable);
    if (!unencodable.empty())
        throw platform::AppError(unencodableMessage(unencodable));
    return bytes;
}

qsizetype descriptionByteLength(const QString& text)
{
    return fieldTextToDescription(text).size();
}

} // namespace store
