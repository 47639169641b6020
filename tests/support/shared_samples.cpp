#include "shared_samples.h"

#include <QFileInfo>

namespace testing_support {

QString samplesRoot()
{
    const QByteArray fromEnv = qgetenv("ZELKAVIO_SAMPLES");
    return fromEnv.isEmpty() ? QStringLiteral(ZELKAVIO_SAMPLES_DIR) : QString::fromLocal8Bit(fromEnv);
}

QString samplePath(const QString& relative)
{
    return samplesRoot() + QLatin1Char('/') + relative;
}

bool runningUnderCi()
{
    return qgetenv("CI") == "true";
}

QString missingSample(const QString& relative)
{
    if (!QFileInfo(samplesRoot()).isDir())
        return QStringLiteral("the shared samples folder %1 is missing (it lies beside the checkout in CI)")
            .arg(samplesRoot());
    if (!QFileInfo::exists(samplePath(relative)))
        return QStringLiteral("the shared sample %1 is missing").arg(samplePath(relative));
    return {};
}

} // namespace testing_support
