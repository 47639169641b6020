#include "temp_dir.h"

#include "platform/file_names.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString TempDir::writeNamed(const QByteArray& name, const QByteArray& bytes) const
{
    const QByteArray full = platform::fileNameBytes(m_dir.path()) + '/' + name;
    for (qsizetype slash = name.indexOf('/'); slash >= 0; slash = name.indexOf('/', slash + 1))
        ::mkdir(full.left(full.size() - name.size() + slash).constData(), 0700);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, bytes.constData(), std::size_t(bytes.size())) != bytes.size() || ::close(fd) != 0)
        ADD_FAILURE() << "cannot write " << name.toStdString();
    return platform::fileNameFromBytes(full);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testing_support
