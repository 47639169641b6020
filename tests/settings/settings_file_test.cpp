#include "platform/errors.h"
#include "platform/file_names.h"
#include "settings/settings_file.h"
#include "support/case_name.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using settings::Settings;
using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

Settings readFrom(const QByteArray& content)
{
    const TempDir dir;
    return settings::readSettings(dir.write(QStringLiteral("Zelkavio.ini"), content));
}

/** The error text a refused write gives, or an empty text when it did not fail. */
QString writeError(const QString& path, const Settings& values)
{
    try {
        settings::writeSettings(path, values);
    } catch (const platform::AppError& error) {
        return error.message();
    }
    return {};
}

Settings changedValues()
{
    Settings s;
    s.fotkaLeft = QStringLiteral("-5");
    s.fotkaTop = QStringLiteral("033");
    s.pismoLeft = QStringLiteral("100");
    s.pismoTop = QStringLiteral("not a number");
    s.pismoWidth = QString();
    s.pismoHeight = QStringLiteral("240");
    s.screenColour = 255;
    s.fieldColour = 0xFFFFFF;
    s.panelTextColour = -1;
    s.fontName = QStringLiteral("Liberation Serif");
    s.fontColour = 0x123456;
    s.fontSize = 9;
    s.fontStyle = 13;
    s.directory = QStringLiteral("/home/ala/Zdjęcia ślubne");
    s.repeat = true;
    s.fit = true;
    return s;
}

TEST(ReadSettings, MissingFileGivesEveryDefault)
{
    const TempDir dir;
    EXPECT_EQ(settings::readSettings(dir.path(QStringLiteral("Zelkavio.ini"))), Settings {});
}

TEST(ReadSettings, OneKeyChangesOnlyItsValue)
{
    Settings expected;
    expected.screenColour = 255;
    const Settings s = readFrom("[Kolor]\r\nPlanszy=255\r\n");
    EXPECT_EQ(s, expected);
    EXPECT_EQ(settings::colourFromValue(s.screenColour), QColor(Qt::red));
}

struct IntegerCase {
    const char* value;
    std::int32_t expected;
};

class IntegerValue : public testing::TestWithParam<IntegerCase> { };

TEST_P(IntegerValue, ReadsAsTheIntegerOrTheDefault)
{
    const Settings s = readFrom(QByteArray("[Kolor]\r\nPlanszy=") + GetParam().value + "\r\n");
    EXPECT_EQ(s.screenColour, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Forms, IntegerValue,
    testing::Values(IntegerCase {"255", 255}, IntegerCase {"0x0000FF", 255}, IntegerCase {"$0000FF", 255},
        IntegerCase {"x0000ff", 255}, IntegerCase {"  255", 255}, IntegerCase {"+255", 255}, IntegerCase {"-1", -1},
        IntegerCase {"$FFFFFFFF", -1}, IntegerCase {"", 8421504}, IntegerCase {"red", 8421504},
        IntegerCase {"12abc", 8421504}, IntegerCase {"99999999999", 8421504}),
    testing_support::namedBy([](const IntegerCase& row) { return row.value; }));

struct RepeatCase {
    const char* line;
    bool expected;
};

class RepeatSwitch : public testing::TestWithParam<RepeatCase> { };

TEST_P(RepeatSwitch, IsAnyNonZeroInteger)
{
    EXPECT_EQ(readFrom(QByteArray("[Plik]\r\n") + GetParam().line + "\r\n").repeat, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, RepeatSwitch,
    testing::Values(RepeatCase {"Repetuj=1", true}, RepeatCase {"Repetuj=0", false}, RepeatCase {"Repetuj=true", false},
        RepeatCase {"Repetuj=2", true}, RepeatCase {"Repetuj=-1", true}, RepeatCase {"Repetuj=", false},
        RepeatCase {"repetuj=$1", true}, RepeatCase {"Powtarzaj=1", false}),
    testing_support::namedBy([](const RepeatCase& row) { return row.line; }));

TEST(ReadSettings, FontStyleKeepsOnlyItsLowByte)
{
    for (const char* value : {"3", "259"}) {
        const Settings s = readFrom(QByteArray("[Fonty]\r\nFontStyle=") + value + "\r\n");
        EXPECT_EQ(s.fontStyle, 3) << value;
        QFont font;
        settings::applyFontStyle(font, s.fontStyle);
        EXPECT_TRUE(font.bold());
        EXPECT_TRUE(font.italic());
        EXPECT_FALSE(font.underline());
        EXPECT_FALSE(font.strikeOut());
    }
}

TEST(ReadSettings, PresentButEmptyTextIsEmptyNotTheDefault)
{
    const Settings s = readFrom("[Fotka]\r\nLeft=\r\n");
    EXPECT_EQ(s.fotkaLeft, QString());
    EXPECT_EQ(s.fotkaTop, "20");
}

TEST(ReadSettings, TextValuesAreWindows1250AndGeometryIsKeptAsText)
{
    const Settings s = readFrom("[plik]\r\nnazwa=C:\\Zdj\xEA"
                                "cia \x9C"
                                "lubne\r\n[Pismo]\r\nWidth= 0x20 \r\n");
    EXPECT_EQ(s.directory, QStringLiteral("C:\\Zdjęcia ślubne"));
    EXPECT_EQ(s.pismoWidth, "0x20");
}

TEST(WriteSettings, NewFileListsSectionsAndKeysInOrder)
{
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("Zelkavio.ini"));
    settings::writeSettings(path, Settings {});
    EXPECT_EQ(fileBytes(path),
        "[Fotka]\r\nLeft=10\r\nTop=20\r\nDopasuj=0\r\n"
        "[Pismo]\r\nLeft=10\r\nTop=20\r\nWidth=630\r\nHeight=122\r\n"
        "[Kolor]\r\nPlanszy=8421504\r\nOkna=0\r\nLitery=128\r\n"
        "[Fonty]\r\nFontName=Arial\r\nFontColor=65535\r\nFontSize=14\r\nFontStyle=0\r\n"
        "[Plik]\r\nNazwa=lblDir\r\nRepetuj=0\r\n");
}

TEST(WriteSettings, WhatIsWrittenReadsBackUnchanged)
{
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("Zelkavio.ini"));
    settings::writeSettings(path, changedValues());
    EXPECT_EQ(settings::readSettings(path), changedValues());
    EXPECT_TRUE(fileBytes(path).contains("Nazwa=/home/ala/Zdj\xEA"
                                         "cia \x9C"
                                         "lubne\r\n"));
    EXPECT_TRUE(fileBytes(path).contains("Litery=-1\r\n"));
    EXPECT_TRUE(fileBytes(path).contains("Repetuj=1\r\n"));
}

TEST(WriteSettings, ExistingKeysReplacedInPlaceAndForeignLinesKept)
{
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("Zelkavio.ini"),
        "; moje ustawienia\r\n[plik]\r\nRepetuj=1\r\nInny=x\r\n\r\n[Kolor]\r\nPlanszy=$FF\r\n[Obce]\r\nk=v\r\n");
    settings::writeSettings(path, Settings {});
    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(bytes.startsWith("; moje ustawienia\r\n[plik]\r\nRepetuj=0\r\nInny=x\r\nNazwa=lblDir\r\n\r\n"
                                 "[Kolor]\r\nPlanszy=8421504\r\nOkna=0\r\nLitery=128\r\n[Obce]\r\nk=v\r\n[Fotka]\r\n"))
        << bytes.toStdString();
    EXPECT_EQ(settings::readSettings(path), Settings {});
}

TEST(WriteSettings, ReadOnlyFileIsReportedAndKept)
{
    const TempDir dir;
    const QByteArray start = "[Kolor]\r\nPlanszy=255\r\n";
    const QString path = dir.write(QStringLiteral("Zelkavio.ini"), start);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_EQ(writeError(path, Settings {}), QStringLiteral("Unable to write to ") + path);
    EXPECT_EQ(fileBytes(path), start);
}

TEST(WriteSettings, MissingDirectoryIsReportedAndNothingCreated)
{
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("gone/Zelkavio.ini"));
    EXPECT_EQ(writeError(path, Settings {}), QStringLiteral("Unable to write to ") + path);
    EXPECT_FALSE(QFileInfo::exists(dir.path(QStringLiteral("gone"))));
}

struct StoredCase {
    const char* label;
    QString Settings::*field;
    QString value;
    QByteArray stored;
};

void PrintTo(const StoredCase& c, std::ostream* out)
{
    *out << c.label;
}

class StoredText : public testing::TestWithParam<StoredCase> { };

TEST_P(StoredText, ReadsBackExactlyAndPlainValuesStayAsTheyWere)
{
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("Zelkavio.ini"), "[Plik]\r\nNazwa=/stary\r\n");
    Settings s;
    s.*GetParam().field = GetParam().value;
    settings::writeSettings(path, s);
    EXPECT_TRUE(fileBytes(path).contains("=" + GetParam().stored + "\r\n")) << fileBytes(path).toStdString();
    EXPECT_EQ(settings::readSettings(path).*GetParam().field, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredText,
    testing::Values(StoredCase {"plain_polish", &Settings::directory, u"/home/Zdjęcia"_s, "/home/Zdj\352cia"},
        StoredCase {"plain_number", &Settings::pismoLeft, u"-5"_s, "-5"},
        StoredCase {"plain_empty", &Settings::pismoLeft, QString(), ""},
        StoredCase {
            "a_grave", &Settings::directory, u"/home/ala/Wakacje à Nice"_s, "%%/home/ala/Wakacje%20%C3%A0%20Nice"},
        StoredCase {"cyrillic", &Settings::directory, u"Zdjęcia/España Фото"_s,
            "%%Zdj%C4%99cia/Espa%C3%B1a%20%D0%A4%D0%BE%D1%82%D0%BE"},
        StoredCase {"font_in_japanese", &Settings::fontName, u"メイリオ"_s, "%%%E3%83%A1%E3%82%A4%E3%83%AA%E3%82%AA"},
        StoredCase {"name_not_utf8", &Settings::directory, platform::fileNameFromBytes("/stare/Zdj\352cia"),
            "%%/stare/Zdj%EAcia"},
        StoredCase {"trailing_blank", &Settings::directory, u"/home/Nowy folder "_s, "\"/home/Nowy folder \""},
        StoredCase {"leading_tab", &Settings::fotkaTop, u"\t20"_s, "\"\t20\""},
        StoredCase {"quoted", &Settings::fontName, u"'Arial'"_s, "\"'Arial'\""},
        StoredCase {"prefix_itself", &Settings::fontName, u"%%20"_s, "%%%25%2520"},
        StoredCase {"line_break", &Settings::directory, u"/tmp/a\nRepetuj=1"_s, "%%/tmp/a%0ARepetuj=1"}),
    [](const testing::TestParamInfo<StoredCase>& row) { return std::string(row.param.label); });

struct ColourCase {
    std::int32_t value;
    QColor colour;
};

class ColourValue : public testing::TestWithParam<ColourCase> { };

TEST_P(ColourValue, ConvertsBothWays)
{
    EXPECT_EQ(settings::colourFromValue(GetParam().value), GetParam().colour);
    EXPECT_EQ(settings::valueFromColour(GetParam().colour), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(NamedColours, ColourValue,
    testing::Values(ColourCase {8421504, QColor(128, 128, 128)}, ColourCase {128, QColor(128, 0, 0)},
        ColourCase {65535, QColor(255, 255, 0)}, ColourCase {0, QColor(0, 0, 0)},
        ColourCase {0x00FF0000, QColor(0, 0, 255)}, ColourCase {0x00563412, QColor(0x12, 0x34, 0x56)}),
    testing_support::namedBy([](const ColourCase& row) { return row.value; }));

TEST(Colours, HighByteIsIgnored)
{
    EXPECT_EQ(settings::colourFromValue(static_cast<std::int32_t>(0xFF0000FFu)), QColor(255, 0, 0));
}

TEST(FontStyle, EveryStyleByteSurvivesAFont)
{
    for (int style = 0; style < 16; ++style) {
        QFont font(QStringLiteral("Arial"), 12);
        settings::applyFontStyle(font, style);
        EXPECT_EQ(settings::fontStyleOf(font), style);
    }
}

} // namespace
