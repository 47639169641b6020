#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testing_support {

/** A temporary directory for one test, removed with it. */
class TempDir {
public:
    TempDir();

    [[nodiscard]] QString path(const QString& name) const { return m_dir.filePath(name); }
    /** Writes `bytes` to `name` inside the directory and gives back the full path. */
    QString write(const QString& name, const QByteArray& bytes) const;
    /** The same for a relative path of exactly the bytes `name` (any encoding); its directories are made. */
    QString writeNamed(const QByteArray& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

/** The whole content of a file, or an empty array when it cannot be read. */
[[nodiscard]] QByteArray fileBytes(const QString& path);

} // namespace testing_support
