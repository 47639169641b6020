#include "platform/file_names.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace Qt::StringLiterals;

namespace {

struct NameCase {
    const char* label;
    QByteArray bytes;
    QString shown;
};

void PrintTo(const NameCase& c, std::ostream* out)
{
    *out << c.label;
}

class FileNames : public testing::TestWithParam<NameCase> { };

TEST_P(FileNames, KeepEveryByteAndShowNamesThatAreNotUtf8AsWindows1250)
{
    const NameCase& c = GetParam();
    const QString name = fileNameFromBytes(c.bytes);
    EXPECT_EQ(fileNameBytes(name), c.bytes);
    EXPECT_EQ(displayFileName(name), c.shown);
    EXPECT_EQ(holdsRawBytes(name), c.shown != QString::fromUtf8(c.bytes));
}

INSTANTIATE_TEST_SUITE_P(Names, FileNames,
    testing::Values(NameCase {"utf8", "za\305\274\303\263\305\202\304\207.jpg", u"zażółć.jpg"_s},
        NameCase {"cp1250", "\277aba.jpg", u"żaba.jpg"_s}, NameCase {"cut_sequence", "a\305", u"aĹ"_s},
        NameCase {"encoded_surrogate", "\355\262\200", u"í˛€"_s}, NameCase {"overlong", "\300\257", u"ŔŻ"_s},
        NameCase {"beyond_unicode", "\364\220\200\200", u"ô\u0090€€"_s},
        NameCase {"astral_pair_not_an_escape", "\360\220\202\200", u"\U00010080"_s},
        NameCase {"path", "/home/Zdj\352cia/d\303\251j\303\240/\277aba.jpg", u"/home/Zdjęcia/déjà/żaba.jpg"_s}),
    [](const testing::TestParamInfo<NameCase>& row) { return std::string(row.param.label); });

} // namespace
