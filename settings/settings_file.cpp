#include "settings_file.h"

#include "platform/errors.h"

namespace settings {

QString settingsFilePath()
{
    return {};
}

Settings readSettings(const QString&)
{
    throw platform::AppError(QStringLiteral("not available yet"));
}

void writeSettings(const QString&, const Settings&)
{
    throw platform::AppError(QStringLiteral("not available yet"));
}

QColor colourFromValue(std::int32_t)
{
    return {};
}

std::int32_t valueFromColour(const QColor&)
{
    return 0;
}

void applyFontStyle(QFont&, int) { }

int fontStyleOf(const QFont&)
{
    return 0;
}

} // namespace settings
