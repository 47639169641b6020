#include "platform/program_dir.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct PlaceCase {
    const char* name;
    bool installed; // prefix/share/zelkavio exists
    bool iniBeside; // prefix/bin/Zelkavio.ini exists
    bool rtfBeside; // prefix/bin/Zelkavio.rtf exists
    QString xdgConfigHome; // "<root>" stands for the temporary folder
    QString settings; // expected, below the temporary folder
    bool createFolder;
    QString help;
};

void PrintTo(const PlaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class FilePlaces : public testing::TestWithParam<PlaceCase> { };

} // namespace

TEST_P(FilePlaces, SettingsAndHelpLieWhereTheProgramLooks)
{
    const PlaceCase& c = GetParam();
    const testing_support::TempDir dir;
    const QString root = QDir::cleanPath(dir.path(u"."_s));
    QDir().mkpath(root + u"/prefix/bin"_s);
    if (c.installed && QDir().mkpath(root + u"/prefix/share/zelkavio"_s))
        dir.write(u"prefix/share/zelkavio/Zelkavio.rtf"_s, "{\\rtf1}");
    if (c.iniBeside)
        dir.write(u"prefix/bin/Zelkavio.ini"_s, "[Plik]\r\n");
    if (c.rtfBeside)
        dir.write(u"prefix/bin/Zelkavio.rtf"_s, "{\\rtf1}");
    const QString bin = root + u"/prefix/bin"_s;
    QString xdg = c.xdgConfigHome;
    const platform::SettingsPlace place
        = platform::settingsPlaceFor(bin, u"Zelkavio.ini"_s, xdg.replace(u"<root>"_s, root), root + u"/home"_s);
    EXPECT_EQ(place.path, root + c.settings);
    EXPECT_EQ(place.createFolder, c.createFolder);
    platform::setProgramDirectory(bin);
    EXPECT_EQ(platform::dataFile(u"Zelkavio.rtf"_s), root + c.help);
    platform::setProgramDirectory(std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FilePlaces,
    testing::Values(PlaceCase {"BuildFolderKeepsBoth", false, false, true, u"<root>/cfg"_s,
                        u"/prefix/bin/Zelkavio.ini"_s, false, u"/prefix/bin/Zelkavio.rtf"_s},
        PlaceCase {"CopiedFolderWithoutHelp", false, false, false, u""_s, u"/prefix/bin/Zelkavio.ini"_s, false,
            u"/prefix/bin/Zelkavio.rtf"_s},
        PlaceCase {"InstalledUsesXdgConfigHome", true, false, false, u"<root>/cfg"_s, u"/cfg/zelkavio/Zelkavio.ini"_s,
            true, u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"InstalledWithoutXdgUsesDotConfig", true, false, false, u""_s,
            u"/home/.config/zelkavio/Zelkavio.ini"_s, true, u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"RelativeXdgConfigHomeIsIgnored", true, false, false, u"cfg"_s,
            u"/home/.config/zelkavio/Zelkavio.ini"_s, true, u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"FilesBesideTheInstalledProgramWin", true, true, true, u"<root>/cfg"_s,
            u"/prefix/bin/Zelkavio.ini"_s, false, u"/prefix/bin/Zelkavio.rtf"_s}),
    [](const testing::TestParamInfo<PlaceCase>& param) { return std::string(param.param.name); });

TEST(SettingsFolder, IsMadeOnFirstSaveForItsOwnerOnly)
{
    const testing_support::TempDir dir;
    const QString file = dir.path(u"config/zelkavio/Zelkavio.ini"_s);
    platform::makeFolderFor(file);
    const QFileInfo folder(dir.path(u"config/zelkavio"_s));
    ASSERT_TRUE(folder.isDir());
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), QFile::Permissions {});
    platform::makeFolderFor(file); // already there: nothing to do
}
