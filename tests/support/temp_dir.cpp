#include "temp_dir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace testing_support {

TempDir::TempDir()
{
    if (!m_dir.isValid())
        ADD_FAILURE() << "cannot create a temporary directory";
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString full = path(name);
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << full.toStdString();
    return full;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testing_support
