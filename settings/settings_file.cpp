#include "settings_file.h"

#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/file_names.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace settings {

namespace {

using platform::ProfileFile;

// A sentinel no value can hold (a line break), so a present-but-empty value can be told from a missing key.
const QByteArray kMissing("\n");

/** What a text value holds: text (written as UTF-8 when escaped) or a path (written as its own bytes). */
enum class TextKind { Text, FileName };

/** Printable ASCII that an escaped value keeps as it is: all but "%" and the blank. */
const QByteArray kKeptAsIs("!\"#$&'()*+,/:;<=>?@[\\]^`{|}");

/** Whether the profile rules would change the value on reading: blanks at either end, or a pair of quotes around. */
bool readsBackChanged(const QByteArray& value)
{
    if (value.isEmpty())
        return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    const char first = value.front();
    return blank(first) || blank(value.back())
        || (value.size() >= 2 && (first == '"' || first == '\'') && value.back() == first);
}

std::optional<QString> readText(const ProfileFile& profile, const char* section, const char* key, TextKind kind)
{
    // Read whole: an escaped value may be up to three times as long as the text it stands for.
    const QByteArray value = profile.read(section, key, kMissing, std::numeric_limits<int>::max());
    if (value == kMissing)
        return std::nullopt;
    return settingFromStored(value, kind == TextKind::FileName);
}

void readText(
    const ProfileFile& profile, const char* section, const char* key, QString& into, TextKind kind = TextKind::Text)
{
    if (auto value = readText(profile, section, key, kind))
        into = std::move(*value);
}

void readInt(const ProfileFile& profile, const char* section, const char* key, std::int32_t& into)
{
    if (const auto value = readText(profile, section, key, TextKind::Text))
        into = platform::toIntDef(*value, into);
}

QByteArray text(const QString& value, TextKind kind = TextKind::Text)
{
    return storedSetting(value, kind == TextKind::FileName);
}

QByteArray number(std::int32_t value)
{
    return QByteArray::number(value);
}

} // namespace

QByteArray storedSetting(const QString& value, bool isFileName)
{
    const QByteArray encoded = platform::cp1250::encode(value);
    const bool plain = platform::cp1250::decode(encoded) == value && !encoded.contains('\r') && !encoded.contains('\n')
        && !encoded.contains('\0') && !encoded.startsWith(kEscapedValuePrefix);
    if (plain)
        return readsBackChanged(encoded) ? '"' + encoded + '"' : encoded;
    const QByteArray bytes = isFileName ? platform::fileNameBytes(value) : value.toUtf8();
    return kEscapedValuePrefix + bytes.toPercentEncoding(kKeptAsIs);
}

QString settingFromStored(const QByteArray& stored, bool isFileName)
{
    if (!stored.startsWith(kEscapedValuePrefix))
        return platform::cp1250::decode(stored.left(ProfileFile::kDefaultMaxValueLength));
    const QByteArray bytes = QByteArray::fromPercentEncoding(stored.sliced(qstrlen(kEscapedValuePrefix)));
    return isFileName ? platform::fileNameFromBytes(bytes) : QString::fromUtf8(bytes);
}

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
    std::int32_t fit = s.fit ? 1 : 0;
    readInt(profile, "Fotka", "Dopasuj", fit);
    s.fit = fit != 0;
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
    readText(profile, "Plik", "Nazwa", s.directory, TextKind::FileName);
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
        profile.setValue("Fotka", "Dopasuj", s.fit ? "1" : "0");
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
        profile.setValue("Plik", "Nazwa", text(s.directory, TextKind::FileName));
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
