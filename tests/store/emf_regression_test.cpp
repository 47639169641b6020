// Inputs that once broke the EMF player (kept from fuzzing): each loads and draws, or fails with a clear error.
#include "support/image_compare.h"

#include "platform/errors.h"
#include "store/layers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

TEST(EmfRegressions, everyKeptInputPlaysOrFailsCleanly)
{
    testing_support::ensureGuiApplication();
    const QDir dir(
        QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath(QStringLiteral("../fuzz/regressions/emf")));
    const QStringList files = dir.entryList(QDir::Files);
    if (files.isEmpty())
        GTEST_SKIP() << "no kept inputs in " << dir.path().toStdString();
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        try {
            const auto picture = store::loadMetafile(file.readAll());
            if (picture->size().width() <= 2048 && picture->size().height() <= 2048) {
                EXPECT_EQ(picture->image().size(), picture->size());
            }
        } catch (const platform::AppError& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
}

} // namespace
