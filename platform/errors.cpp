#include "errors.h"

#include "file_names.h"

#include <cstring>
#include <limits>
#include <optional>

namespace platform {

AppError::AppError(const QString& message)
    : std::runtime_error(message.toStdString())
{
}

AppError::AppError(const std::string& message)
    : std::runtime_error(message)
{
}

namespace {

QString ioMessage(int errorCode, const QString& path)
{
    QString text
        = QStringLiteral("I/O error %1 (%2)").arg(errorCode).arg(QString::fromLocal8Bit(std::strerror(errorCode)));
    if (!path.isEmpty())
        text += QStringLiteral(": ") + displayFileName(path);
    return text;
}

std::optional<int> parseInt(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    if (i >= n)
        return std::nullopt;
    // Hexadecimal values may fill all 32 bits (colours are written so); decimal ones must fit a signed int.
    const qint64 limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    if (base == 16)
        value = static_cast<qint32>(static_cast<quint32>(value));
    return static_cast<int>(negative ? -value : value);
}

} // namespace

IoError::IoError(int errorCode, const QString& path)
    : AppError(ioMessage(errorCode, path))
    , m_errorCode(errorCode)
{
}

IoError::IoError(int errorCode, const FilePath& path)
    : IoError(errorCode, path.toText())
{
}

FileChangedError::FileChangedError(const FilePath& path)
    : AppError(QStringLiteral("Plik %1 zmienił się w międzyczasie (zmienił go inny program) - nic w nim nie zmieniłem.")
                   .arg(path.display()))
    , m_path(path)
{
}

FileBusyError::FileBusyError(const FilePath& path)
    : AppError(
        QStringLiteral("Plik %1 zmienia właśnie inny program Zelkavio - nic w nim nie zmieniłem, spróbuj za chwilę.")
            .arg(path.display()))
{
}

ConvertError::ConvertError(const QString& text)
    : AppError(QStringLiteral("'%1' is not a valid integer value").arg(text))
{
}

int toInt(const QString& text)
{
    if (const auto value = parseInt(text))
        return *value;
    throw ConvertError(text);
}

int toIntDef(const QString& text, int fallback)
{
    return parseInt(text).value_or(fallback);
}

} // namespace platform
