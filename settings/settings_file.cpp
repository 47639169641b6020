#include "settings_file.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"

#include <algorithm>
#include <optional>

namespace settings {

namespace {

using platform::ProfileFile;

// A sentinel no value can hold (a line break), so a present-but-empty value can be told from a missing key.
const QByteArray kMissing("\n");

std::optional<QString> readText(const ProfileFile& profile, const char* section, const char* key)
{
    const QByteArray value = profile.read(section, key, kMissing);
    if (value == kMissing)
        return std::nullopt;
    return platform::cp1250::decode(value);
}

void readText(const ProfileFile& profile, const char* section, const char* key, QString& into)
{
    if (auto value = readText(profile, section, key))
        into = std::move(*value);
}

void readInt(const ProfileFile& profile, const char* section, const char* key, std::int32_t& into)
{
    if (const auto value = readText(profile, section, key))
        into = platform::toIntDef(*value, into);
}

QByteArray text(const QString& value)
{
    return platform::cp1250::encode(value);
}

QByteArray number(std::int32_t value)
{
    return QByteArray::number(value);
}

} // namespace

QString settingsFilePath()
{
    return platform::settingsPlace(QStringLiteral("Zelkavio.ini")).path;
}

Settings readSettings(const QString& path)
{
    const ProfileFile profile = ProfileFile::load(path);
    Settings s;
    readText(profile, "Fotka", "Left", s.fotkaLeft);
    readText(profile, "Fotka", "Top", s.fotkaTop);
    readText(profile, "Pismo", "Left", s.pismoLeft);
    readText(profile, "Pismo", "Top", s.pismoTop);
    readText(profile, "Pismo", "Width", s.pismoWidth);
    readText(profile, "Pismo", "Height", s.pismoHeight);
    readInt(profile, "Kolor", "Planszy", s.screenColour);
    readInt(profile, "Kolor", "Okna", s.fieldColour);
    readInt(profile, "Kolor", "Litery", s.panelTextColour);
    readText(profile, "Fonty", "FontName", s.fontName);
    readInt(profile, "Fonty", "FontColor", s.fontColour);
    readInt(profile, "Fonty", "FontSize", s.fontSize);
    std::int32_t style = s.fontStyle;
    readInt(profile, "Fonty", "FontStyle", style);
    s.fontStyle = style & 0xFF;
    readText(profile, "Plik", "Nazwa", s.directory);
    std::int32_t repeat = s.repeat ? 1 : 0;
    readInt(profile, "Plik", "Repetuj", repeat);
    s.repeat = repeat != 0;
    return s;
}

void writeSettings(const Settings& values)
{
    const platform::SettingsPlace place = platform::settingsPlace(QStringLiteral("Zelkavio.ini"));
    writeSettings(place.path, values, place.createFolder);
}

void writeSettings(const QString& path, const Settings& s, bool createFolder)
{
    try {
        if (createFolder)
            platform::makeFolderFor(path);
        ProfileFile profile = ProfileFile::load(path);
        profile.setValue("Fotka", "Left", text(s.fotkaLeft));
        profile.setValue("Fotka", "Top", text(s.fotkaTop));
        profile.setValue("Pismo", "Left", text(s.pismoLeft));
        profile.setValue("Pismo", "Top", text(s.pismoTop));
        profile.setValue("Pismo", "Width", text(s.pismoWidth));
        profile.setValue("Pismo", "Height", text(s.pismoHeight));
        profile.setValue("Kolor", "Planszy", number(s.screenColour));
        profile.setValue("Kolor", "Okna", number(s.fieldColour));
        profile.setValue("Kolor", "Litery", number(s.panelTextColour));
        profile.setValue("Fonty", "FontName", text(s.fontName));
        profile.setValue("Fonty", "FontColor", number(s.fontColour));
        profile.setValue("Fonty", "FontSize", number(s.fontSize));
        profile.setValue("Fonty", "FontStyle", number(s.fontStyle & 0xFF));
        profile.setValue("Plik", "Nazwa", text(s.directory));
        profile.setValue("Plik", "Repetuj", s.repeat ? "1" : "0");
        profile.saveAs(path);
    } catch (const platform::AppError&) {
        // One message for every refusal; the file is replaced whole or not at all, so nothing was written.
        throw platform::AppError(QStringLiteral("Unable to write to %1").arg(path));
    }
}

QColor colourFromValue(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

std::int32_t valueFromColour(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

void applyFontStyle(QFont& font, int style)
{
    font.setBold((style & 1) != 0);
    font.setItalic((style & 2) != 0);
    font.setUnderline((style & 4) != 0);
    font.setStrikeOut((style & 8) != 0);
}

int fontStyleOf(const QFont& font)
{
    return (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) | (font.strikeOut() ? 8 : 0);
}

int wholePoints(const QFont& font, qreal dpi)
{
    if (font.pointSizeF() > 0)
        return std::max(1, qRound(font.pointSizeF()));
    if (font.pixelSize() > 0 && dpi > 0)
        return std::max(1, qRound(font.pixelSize() * 72.0 / dpi));
    return Settings {}.fontSize;
}

QFont storableFont(const QFont& font, qreal dpi)
{
    QFont stored(font.family());
    stored.setPointSize(wholePoints(font, dpi));
    applyFontStyle(stored, fontStyleOf(font));
    return stored;
}

} // namespace settings
