#include "platform/program_dir.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct PlaceCase {
    const char* name;
    bool installed; // prefix/share/zelkavio (with the help) exists
    bool filesBeside; // prefix/bin/Zelkavio.ini and Zelkavio.rtf exist
    QString xdgConfigHome; // "<root>" stands for the temporary folder
    QString settings; // expected, below the temporary folder
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
    const QString bin = root + u"/prefix/bin"_s;
    QDir().mkpath(bin);
    if (c.installed && QDir().mkpath(root + u"/prefix/share/zelkavio"_s))
        dir.write(u"prefix/share/zelkavio/Zelkavio.rtf"_s, "{\\rtf1}");
    if (c.filesBeside) {
        dir.write(u"prefix/bin/Zelkavio.ini"_s, "");
        dir.write(u"prefix/bin/Zelkavio.rtf"_s, "");
    }
    const auto place = platform::settingsPlaceFor(
        bin, u"Zelkavio.ini"_s, QString(c.xdgConfigHome).replace(u"<root>"_s, root), root + u"/home"_s);
    EXPECT_EQ(place.path, root + c.settings);
    EXPECT_EQ(place.createFolder, c.installed && !c.filesBeside);
    platform::makeFolderFor(place.path); // the first save's
    EXPECT_TRUE(QFileInfo(place.path).dir().exists());
    platform::setProgramDirectory(bin);
    EXPECT_EQ(platform::dataFile(u"Zelkavio.rtf"_s), root + c.help);
    platform::setProgramDirectory(std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FilePlaces,
    testing::Values(PlaceCase {"BuildOrCopiedFolderKeepsBothBeside", false, false, u"<root>/cfg"_s,
                        u"/prefix/bin/Zelkavio.ini"_s, u"/prefix/bin/Zelkavio.rtf"_s},
        PlaceCase {"InstalledUsesXdgConfigHome", true, false, u"<root>/cfg"_s, u"/cfg/zelkavio/Zelkavio.ini"_s,
            u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"InstalledWithoutXdgUsesDotConfig", true, false, u""_s, u"/home/.config/zelkavio/Zelkavio.ini"_s,
            u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"RelativeXdgConfigHomeIsIgnored", true, false, u"cfg"_s, u"/home/.config/zelkavio/Zelkavio.ini"_s,
            u"/prefix/share/zelkavio/Zelkavio.rtf"_s},
        PlaceCase {"FilesBesideTheInstalledProgramWin", true, true, u"<root>/cfg"_s, u"/prefix/bin/Zelkavio.ini"_s,
            u"/prefix/bin/Zelkavio.rtf"_s}),
    [](const testing::TestParamInfo<PlaceCase>& param) { return std::string(param.param.name); });
