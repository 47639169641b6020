#include "profile_file.h"

#include "errors.h"

namespace platform {

ProfileFile ProfileFile::load(const QString&)
{
    throw AppError(QStringLiteral("not available yet"));
}

ProfileFile ProfileFile::fromBytes(const QByteArray&)
{
    return {};
}

QByteArray ProfileFile::read(const QByteArray&, const QByteArray&, const QByteArray& fallback, qsizetype) const
{
    return fallback;
}

bool ProfileFile::contains(const QByteArray&, const QByteArray&) const
{
    return false;
}

void ProfileFile::setValue(const QByteArray&, const QByteArray&, const QByteArray&) { }
void ProfileFile::removeKey(const QByteArray&, const QByteArray&) { }
void ProfileFile::removeSection(const QByteArray&) { }
void ProfileFile::save() const { }
void ProfileFile::saveAs(const QString&) const { }

QByteArray ProfileFile::bytes() const
{
    return {};
}

QByteArray readProfileString(
    const QString&, const QByteArray&, const QByteArray&, const QByteArray& fallback, qsizetype)
{
    return fallback;
}

void writeProfileString(const QString&, const QByteArray&, const QByteArray&, const QByteArray&) { }

} // namespace platform
