#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

/** The settings file "Zelkavio.ini": its sixteen keys, their defaults, reading and writing. No widgets here. */
namespace settings {

/**
 * Every value the settings file holds, with the defaults a missing key gives. The six window geometry values
 * are kept as the text the file holds (converted only when a window opens); colours are 0x00BBGGRR values.
 */
struct Settings {
    // [Fotka] — the picture window
    QString fotkaLeft = QStringLiteral("10"); // Left
    QString fotkaTop = QStringLiteral("20"); // Top
    bool fit = false; // Dopasuj: pictures larger than the screen are fitted to it (else natural size)
    // [Pismo] — the description window
    QString pismoLeft = QStringLiteral("10"); // Left
    QString pismoTop = QStringLiteral("20"); // Top
    QString pismoWidth = QStringLiteral("630"); // Width
    QString pismoHeight = QStringLiteral("122"); // Height
    // [Kolor]
    std::int32_t screenColour = 8421504; // Planszy: the main window's backdrop (grey)
    std::int32_t fieldColour = 0; // Okna: the description field's background (black)
    std::int32_t panelTextColour = 128; // Litery: the bottom panel's text (maroon)
    // [Fonty] — the description font
    QString fontName = QStringLiteral("Arial"); // FontName
    std::int32_t fontColour = 65535; // FontColor (yellow)
    std::int32_t fontSize = 14; // FontSize, in points
    int fontStyle = 0; // FontStyle: bold 1, italic 2, underline 4, strike-out 8 (only the low 8 bits are kept)
    // [Plik]
    QString directory = QStringLiteral("lblDir"); // Nazwa: the last opened directory
    bool repeat = false; // Repetuj: repeat the automatic show

    friend bool operator==(const Settings&, const Settings&) = default;
};

/**
 * How a value is written when Windows-1250 cannot hold it (or its bytes, for a path that is not UTF-8), when it
 * holds a line break, or when it starts with this very prefix: the prefix, then the value's bytes (UTF-8 for text,
 * a path's own bytes) with "%", blanks, control bytes and every byte above 127 percent-escaped.
 */
inline constexpr char kEscapedValuePrefix[] = "%%";

/**
 * The bytes a text setting is written as, so that it reads back exactly: a value Windows-1250 holds as it is,
 * byte for byte, in double quotes when the profile rules would otherwise take blanks off its ends or a pair of
 * quotes off it; any other value escaped (kEscapedValuePrefix). `isFileName`: the value is a path, escaped as
 * its own bytes.
 */
[[nodiscard]] QByteArray storedSetting(const QString& value, bool isFileName);

/**
 * The value a setting read as `stored` (quotes already taken off by the profile rules) stands for. A plain value
 * is Windows-1250, cut to the read buffer's 2047 characters; an escaped one is decoded whole.
 */
[[nodiscard]] QString settingFromStored(const QByteArray& stored, bool isFileName);

/**
 * The settings file's path: "Zelkavio.ini" in the directory of the program's executable, or, for an installed
 * program without such a file, in the user's configuration folder "zelkavio" (platform::settingsPlace()).
 */
[[nodiscard]] QString settingsFilePath();

/**
 * Reads the sixteen keys. A missing file, section or key gives that key's default; an integer or boolean
 * value that is empty or not an integer gives the default too; a text key present with an empty value gives
 * the empty text. Text values are decoded from Windows-1250, or from their escaped form. A file that exists but cannot
 * be read raises IoError.
 */
[[nodiscard]] Settings readSettings(const QString& path);

/**
 * Writes the sixteen keys in table order with one atomic replacement of the file: keys and sections that
 * exist are replaced in place, others are added, everything else in the file is kept. A new file lists the
 * sections Fotka, Pismo, Kolor, Fonty, Plik. Every text value reads back exactly (storedSetting). With
 * `createFolder` a missing folder of `path` is made first; without it a missing folder is refused. When the
 * write is refused (read-only file, unwritable or missing directory) it raises AppError "Unable to write to
 * <path>" and the file stays as it was.
 */
void writeSettings(const QString& path, const Settings& values, bool createFolder = false);

/** Writes the settings file at settingsFilePath(), making the user's configuration folder when it is used. */
void writeSettings(const Settings& values);

/** A 0x00BBGGRR colour value as a QColor (the high byte is ignored). */
[[nodiscard]] QColor colourFromValue(std::int32_t value);
/** A QColor as a 0x00BBGGRR colour value. */
[[nodiscard]] std::int32_t valueFromColour(const QColor& colour);

/** Sets bold, italic, underline and strike-out of `font` from the style byte's flags 1, 2, 4 and 8. */
void applyFontStyle(QFont& font, int style);
/** The style byte of `font`: bold 1, italic 2, underline 4, strike-out 8. */
[[nodiscard]] int fontStyleOf(const QFont& font);

/**
 * The font's size in whole points, as the file keeps it. A font sized in pixels is converted at `dpi`; a font
 * without any size gives the default 14, so the file never receives -1.
 */
[[nodiscard]] int wholePoints(const QFont& font, qreal dpi = 96);

/**
 * The font reduced to what the file can hold: the family, the size in whole points and the four style flags.
 * Applying the result and reading it back after a save gives the same font.
 */
[[nodiscard]] QFont storableFont(const QFont& font, qreal dpi = 96);

} // namespace settings
