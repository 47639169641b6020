#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/profile_file.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>
#include <unistd.h>
#include <vector>

using platform::ProfileFile;
using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

/** A byte literal that may hold NUL bytes. */
template <std::size_t N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QByteArray utf16le(const QString& text)
{
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

// --- Reading -------------------------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    QByteArray file;
    QByteArray section;
    QByteArray key;
    QByteArray fallback;
    QByteArray expected;
};

class ProfileRead : public testing::TestWithParam<ReadCase> { };

TEST_P(ProfileRead, GivesTheValueWindowsGives)
{
    const ReadCase& c = GetParam();
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("test.ini"), c.file);
    EXPECT_EQ(platform::readProfileString(path, c.section, c.key, c.fallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, ProfileRead,
    testing::Values(ReadCase {"R1_namesIgnoreCaseAndValueIsTrimmed", raw("[Ustawienia]\r\nOpoznienie = 5 \r\n"),
                        "ustawienia", "OPOZNIENIE", "x", "5"},
        ReadCase {"R2_outerQuotesGoInnerSpacesStay", raw("[s]\r\nk=  \"  a b  \"  \r\n"), "s", "k", "", "  a b  "},
        ReadCase {"R3_mismatchedQuotesStay", raw("[s]\r\nk='x\"\r\n"), "s", "k", "", "'x\""},
        ReadCase {"R4_loneQuoteStays", raw("[s]\r\nk=\"\r\n"), "s", "k", "", "\""},
        ReadCase {"R5_emptyValueIsNotTheDefault", raw("[s]\r\nk=\r\n"), "s", "k", "def", ""},
        ReadCase {
            "R6_missingKeyGivesDefaultWithoutTrailingSpaces", raw("[s]\r\nk=\r\n"), "s", "missing", "def  ", "def"},
        ReadCase {"R7_commentLineIsNeverFound", raw("[s]\r\n;k=1\r\n k2=2\r\n"), "s", ";k", "d", "d"},
        ReadCase {"R7_indentedKeyIsFound", raw("[s]\r\n;k=1\r\n k2=2\r\n"), "s", "k2", "d", "2"},
        ReadCase {"R8_noInlineComments", raw("[s]\r\nk=1 ;comment\r\n"), "s", "k", "", "1 ;comment"},
        ReadCase {"R9_linesBeforeFirstSectionUnreachable", raw("k=0\r\n[s]\r\nk=1\r\n"), "", "k", "d", "d"},
        ReadCase {"R10_onlyFirstSectionOfANameIsSearched", raw("[s]\r\n[s]\r\nk=1\r\n"), "s", "k", "d", "d"},
        ReadCase {"R11_firstKeyWins", raw("[s]\r\nk=1\r\nK=2\r\n"), "s", "k", "", "1"},
        ReadCase {"R12_sectionNameTrimmedTextAfterBracketIgnored", raw("[ s ]junk\r\nk=1\r\n"), "s", "k", "", "1"},
        ReadCase {"R13_closingBracketNotNeeded", raw("[s\r\nk=1\r\n"), "s", "k", "", "1"},
        ReadCase {"R14_crOnlyLineBreaks", raw("[s]\rk=1\r"), "s", "k", "", "1"},
        ReadCase {"R15_utf8BomHidesFirstLine", raw("\xEF\xBB\xBF[s]\r\nk=1\r\n"), "s", "k", "d", "d"},
        ReadCase {"R16_lineWithoutEqualsIsNoKey", raw("[s]\r\nk\r\n"), "s", "k", "d", "d"},
        ReadCase {"R17_valueMayHoldEquals", raw("[s]\r\nk=a=b\r\n"), "s", "k", "", "a=b"},
        ReadCase {"R18_polishNamesIgnoreCase",
            raw("[\xA3\xF3"
                "d\x9F]\r\nk=1\r\n"),
            "\xA3\xD3"
            "D\x8F",
            "k", "", "1"},
        ReadCase {"callerSpacesAroundNamesIgnored", raw("[s]\r\nk=1\r\n"), "  s ", " k  ", "", "1"},
        ReadCase {"lfOnlyLineBreaks", raw("[a]\nx=1\n[s]\nk=2\n"), "s", "k", "", "2"},
        ReadCase {"missingSectionGivesDefault", raw("[a]\r\nk=1\r\n"), "s", "k", "d", "d"},
        ReadCase {"polishValueBytesKept",
            raw("[s]\r\nk=\xA3\xF3"
                "d\x9F\r\n"),
            "s", "k", "",
            "\xA3\xF3"
            "d\x9F"}),
    [](const testing::TestParamInfo<ReadCase>& param) { return std::string(param.param.name); });

TEST(ProfileReadFile, MissingFileGivesTheDefault)
{
    const TempDir dir;
    EXPECT_EQ(platform::readProfileString(dir.path(QStringLiteral("none.ini")), "s", "k", "fallback "), "fallback");
}

TEST(ProfileReadFile, LongValuesAreCutToTheReadBuffer)
{
    const QByteArray value(3000, 'v');
    const ProfileFile profile = ProfileFile::fromBytes("[s]\r\nk=" + value + "\r\n");
    EXPECT_EQ(profile.read("s", "k", ""), value.left(2047));
    EXPECT_EQ(profile.read("s", "k", "", 5), "vvvvv");
    EXPECT_EQ(profile.read("s", "k", "", 5000), value);
}

TEST(ProfileReadFile, Utf16FileValuesComeAsWindows1250Bytes)
{
    const ProfileFile profile = ProfileFile::fromBytes(utf16le(QStringLiteral("[Łódź]\r\nk=zażółć\r\n")));
    EXPECT_TRUE(profile.isWide());
    EXPECT_EQ(profile.read("\xA3\xD3"
                           "D\x8F",
                  "K", ""),
        "za\xBF\xF3\xB3\xE6");
}

TEST(ProfileReadFile, HugeFileIsRefused)
{
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("huge.ini"), "[s]\r\nk=1\r\n");
    ASSERT_TRUE(QFile::resize(path, ProfileFile::kMaxFileSize + 1));
    EXPECT_THROW((void)ProfileFile::load(path), platform::IoError);
}

TEST(ProfileReadFile, DirectoryIsNotAFile)
{
    const TempDir dir;
    EXPECT_THROW((void)ProfileFile::load(dir.path(QString())), platform::IoError);
}

// --- Writing -------------------------------------------------------------------------------------------------

struct Edit {
    enum Kind { Set, RemoveKey, RemoveSection } kind;
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

struct WriteCase {
    const char* name;
    std::optional<QByteArray> start; // none: no file
    std::vector<Edit> edits;
    QByteArray expected;
};

void apply(ProfileFile& profile, const Edit& edit)
{
    switch (edit.kind) {
    case Edit::Set:
        profile.setValue(edit.section, edit.key, edit.value);
        break;
    case Edit::RemoveKey:
        profile.removeKey(edit.section, edit.key);
        break;
    case Edit::RemoveSection:
        profile.removeSection(edit.section);
        break;
    }
}

class ProfileWrite : public testing::TestWithParam<WriteCase> { };

TEST_P(ProfileWrite, EachCallAsWindowsWritesIt)
{
    const WriteCase& c = GetParam();
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("test.ini"));
    if (c.start)
        dir.write(QStringLiteral("test.ini"), *c.start);
    for (const Edit& edit : c.edits) {
        if (edit.kind == Edit::Set) {
            platform::writeProfileString(path, edit.section, edit.key, edit.value);
        } else {
            ProfileFile profile = ProfileFile::load(path);
            apply(profile, edit);
            profile.save();
        }
    }
    EXPECT_EQ(fileBytes(path), c.expected);
}

TEST_P(ProfileWrite, AllEditsInMemoryThenOneSaveGiveTheSameBytes)
{
    const WriteCase& c = GetParam();
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("test.ini"));
    if (c.start)
        dir.write(QStringLiteral("test.ini"), *c.start);
    ProfileFile profile = ProfileFile::load(path);
    for (const Edit& edit : c.edits)
        apply(profile, edit);
    profile.save();
    EXPECT_EQ(fileBytes(path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, ProfileWrite,
    testing::Values(
        WriteCase {"W1_missingFileIsCreated", std::nullopt, {{Edit::Set, "s", "k", "v"}}, raw("[s]\r\nk=v\r\n")},
        WriteCase {"W2_newSectionAppendedWithoutBlankLine", raw("[App1]\r\nkey1=string1\r\n"),
            {{Edit::Set, "App2", "key4", "string4"}}, raw("[App1]\r\nkey1=string1\r\n[App2]\r\nkey4=string4\r\n")},
        WriteCase {"W3_existingKeysInPlaceNewKeysInOrder", raw("[s]\r\nb=value\r\na=value\r\n"),
            {{Edit::Set, "s", "z", ""}, {Edit::Set, "s", "b", ""}, {Edit::Set, "s", "y", ""},
                {Edit::Set, "s", "a", ""}},
            raw("[s]\r\nb=\r\na=\r\nz=\r\ny=\r\n")},
        WriteCase {"W4_fileCasingKeptAndLineEnded", raw("[S]\r\nKey=old"), {{Edit::Set, "s", "KEY", "new"}},
            raw("[S]\r\nKey=new\r\n")},
        WriteCase {"W5_newKeyAfterLastKeyCommentsUntouched", raw(";c0\r\n[s]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\n"),
            {{Edit::Set, "s", "z", ""}}, raw(";c0\r\n[s]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\nz=\r\n")},
        WriteCase {"W6_commentKeysStackBelowLastKey", QByteArray(),
            {{Edit::Set, "s", "z", ""}, {Edit::Set, "s", ";y", ""}, {Edit::Set, "s", "a", ""},
                {Edit::Set, "s", ";b", ""}, {Edit::Set, "s", ";c", ""}},
            raw("[s]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n")},
        WriteCase {
            "W7_removedKeyLeavesSection", raw("[s]\r\nk=v\r\n"), {{Edit::RemoveKey, "s", "k", {}}}, raw("[s]\r\n")},
        WriteCase {"W8_removedSectionsLeaveComments", raw(";c0\r\n[s]\r\n;c1\r\n[t]\r\n;c2\r\n"),
            {{Edit::RemoveSection, "s", {}, {}}, {Edit::RemoveSection, "t", {}, {}}}, raw(";c0\r\n;c1\r\n;c2\r\n")},
        WriteCase {"W9_namesStrippedValueVerbatim", std::nullopt, {{Edit::Set, "  s  ", "  k  ", " v "}},
            raw("[s]\r\nk= v \r\n")},
        WriteCase {"W11_afterUtf8BomComesALineBreak", raw("\xEF\xBB\xBF"), {{Edit::Set, "s", "k", "v"}},
            raw("\xEF\xBB\xBF\r\n[s]\r\nk=v\r\n")},
        WriteCase {"W12_blankLineStaysAfterNewKey", raw("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n"),
            {{Edit::Set, "a", "z", "3"}}, raw("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n")},
        WriteCase {"W13_newSectionAfterUnendedLastLine", raw("[a]\r\nx=1"), {{Edit::Set, "b", "y", "2"}},
            raw("[a]\r\nx=1\r\n[b]\r\ny=2\r\n")},
        WriteCase {"W14_newKeyAfterUnendedLastLine", raw("[a]\r\nx=1"), {{Edit::Set, "a", "y", "2"}},
            raw("[a]\r\nx=1\r\ny=2\r\n")},
        WriteCase {"W15_commentCannotBeRemoved", raw("[s]\r\n;key=v\r\n"), {{Edit::RemoveKey, "s", ";key", {}}},
            raw("[s]\r\n;key=v\r\n")},
        WriteCase {"W16_nulBytesBeforeFirstSectionKept", raw("garbage\0line\r\n[s]\r\nk=1\r\n"),
            {{Edit::Set, "s", "k", "2"}}, raw("garbage\0line\r\n[s]\r\nk=2\r\n")},
        WriteCase {"newKeyRightAfterHeaderOfKeylessSection", raw("[s]\r\n;note\r\n[t]\r\n"),
            {{Edit::Set, "s", "k", "1"}}, raw("[s]\r\nk=1\r\n;note\r\n[t]\r\n")},
        WriteCase {"otherLinesKeepTheirOwnLineBreaks", raw("[s]\nk=1\nj=2\n"), {{Edit::Set, "s", "k", "3"}},
            raw("[s]\nk=3\r\nj=2\n")},
        WriteCase {"polishSectionMatchedIgnoringCase",
            raw("[\xA3\xF3"
                "d\x9F]\r\nk=1\r\n"),
            {{Edit::Set,
                "\xA3\xD3"
                "D\x8F",
                "K", "2"}},
            raw("[\xA3\xF3"
                "d\x9F]\r\nk=2\r\n")}),
    [](const testing::TestParamInfo<WriteCase>& param) { return std::string(param.param.name); });

TEST(ProfileWriteFile, ValueWrittenWithSpacesReadsBackTrimmed)
{
    ProfileFile profile;
    profile.setValue("s", "k", " v ");
    EXPECT_EQ(profile.read("s", "k", "d"), "v");
}

TEST(ProfileWriteFile, LineBreaksAndNulInValuesOrNamesAreRefused)
{
    const TempDir dir;
    const QByteArray start = "[s]\r\nk=1\r\n";
    const QString path = dir.write(QStringLiteral("test.ini"), start);
    for (const QByteArray& bad : {QByteArray("a\r\nb=c"), QByteArray("a\nb"), QByteArray("a\rb"), raw("a\0b")}) {
        EXPECT_THROW(platform::writeProfileString(path, "s", "k", bad), platform::AppError);
        EXPECT_THROW(platform::writeProfileString(path, "s", bad, "1"), platform::AppError);
        EXPECT_THROW(platform::writeProfileString(path, bad, "k", "1"), platform::AppError);
    }
    EXPECT_EQ(fileBytes(path), start);
}

TEST(ProfileWriteFile, Utf16FileStaysUtf16)
{
    const TempDir dir;
    const QString path = dir.write(QStringLiteral("wide.ini"), utf16le(QStringLiteral("[s]\r\nk=1\r\n")));
    platform::writeProfileString(path, "s", "k", "\xB9");
    platform::writeProfileString(path, "nowa", "x", "2");
    EXPECT_EQ(fileBytes(path), utf16le(QStringLiteral("[s]\r\nk=ą\r\n[nowa]\r\nx=2\r\n")));
}

TEST(ProfileWriteFile, ReadOnlyFileIsRefusedAndKept)
{
    const TempDir dir;
    const QByteArray start = "[s]\r\nk=1\r\n";
    const QString path = dir.write(QStringLiteral("test.ini"), start);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_THROW(platform::writeProfileString(path, "s", "k", "2"), platform::IoError);
    EXPECT_EQ(fileBytes(path), start);
}

TEST(ProfileWriteFile, MissingDirectoryIsRefusedAndNothingCreated)
{
    const TempDir dir;
    const QString path = dir.path(QStringLiteral("missing/test.ini"));
    EXPECT_THROW(platform::writeProfileString(path, "s", "k", "v"), platform::IoError);
    EXPECT_FALSE(QFileInfo::exists(dir.path(QStringLiteral("missing"))));
}

TEST(ProfileWriteFile, UnwritableDirectoryIsRefusedAndNothingCreated)
{
    const TempDir dir;
    const QString sub = dir.path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(sub));
    const platform::InjectedFailure noPermission(platform::FileOperation::CreateFile, sub, EACCES);
    try {
        platform::writeProfileString(sub + QStringLiteral("/test.ini"), "s", "k", "v");
        ADD_FAILURE() << "the write was not refused";
    } catch (const platform::IoError& e) {
        EXPECT_EQ(e.errorCode(), EACCES);
    }
    EXPECT_TRUE(QDir(sub).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace
