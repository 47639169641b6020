#include "file_path.h"

#include "file_names.h"

namespace platform {

FilePath FilePath::fromText(QStringView text)
{
    return FilePath(fileNameBytes(text));
}

QString FilePath::display() const
{
    return displayFileName(fileNameFromBytes(m_bytes));
}

QString FilePath::toText() const
{
    return fileNameFromBytes(m_bytes);
}

FilePath FilePath::fileName() const
{
    return FilePath(m_bytes.mid(m_bytes.lastIndexOf('/') + 1));
}

FilePath FilePath::folder() const
{
    const qsizetype slash = m_bytes.lastIndexOf('/');
    if (slash < 0)
        return FilePath(".");
    return FilePath(slash == 0 ? QByteArray("/") : m_bytes.left(slash));
}

QByteArray FilePath::extension() const
{
    const qsizetype slash = m_bytes.lastIndexOf('/');
    const qsizetype dot = m_bytes.lastIndexOf('.');
    if (dot <= slash)
        return {};
    return m_bytes.mid(dot + 1).toLower();
}

FilePath FilePath::operator/(const FilePath& name) const
{
    if (m_bytes.isEmpty() || name.isAbsolute())
        return name;
    return FilePath(m_bytes.endsWith('/') ? m_bytes + name.m_bytes : m_bytes + '/' + name.m_bytes);
}

FilePath FilePath::withSuffix(QByteArrayView suffix) const
{
    return FilePath(m_bytes + suffix.toByteArray());
}

} // namespace platform
