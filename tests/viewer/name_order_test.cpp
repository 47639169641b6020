#include "viewer/name_order.h"

#include <QCollator>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

/**
 * The order of ICU's sort keys made through QCollator, ties broken by the names' bytes. Keys rather than
 * QCollator::compare: on text whose accents are out of canonical order the two can disagree, and only the
 * keys are sure to give one consistent order.
 */
std::vector<std::string> referenceOrder(std::vector<std::string> names, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, std::string>> keyed;
    for (std::string& name : names)
        keyed.emplace_back(collator.sortKey(QString::fromStdString(name)), std::move(name));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        const int byCollation = a.first.compare(b.first);
        return byCollation != 0 ? byCollation < 0 : a.second < b.second;
    });
    std::vector<std::string> sorted;
    for (auto& [key, name] : keyed)
        sorted.push_back(std::move(name));
    return sorted;
}

std::vector<std::string> ourOrder(const std::vector<std::string>& names, const QLocale& locale)
{
    const std::vector<std::string_view> views(names.begin(), names.end());
    std::vector<std::string> sorted;
    for (const std::uint32_t i : viewer::collationOrder(views, locale))
        sorted.push_back(names[i]);
    return sorted;
}

/**
 * Names drawn from characters that make collation hard: letters of both cases that begin contractions in some
 * language ("ch", "aa", "cs", "ll"), accented and precomposed letters, combining marks, Turkish i's, digits and
 * punctuation, the middle dot, no-break and soft hyphen, and scripts beyond Latin with their own rules.
 */
std::vector<std::string> trickyNames(std::uint32_t seed, std::size_t count)
{
    static const char16_t alphabet[] = u"aAbcCdhHilLnosSzZyY0129 ._-()~'"
                                       u"ąĄćęłŁńóśźżŻéÉèëöÖüßæøåÅñçČčřŠšžĳœıİ"
                                       u"\u00B7\u00A0\u00AD\u0301\u0308\u0328"
                                       u"жЖяЁёαΩあーアカ漢字กเ😀";
    const std::u16string letters(alphabet);
    std::mt19937 random(seed);
    std::vector<std::string> names;
    std::vector<std::string> stems; // shared beginnings, so that many names tie deep into their length
    for (std::size_t i = 0; i < count; ++i) {
        std::u16string name;
        std::size_t length = 1 + random() % 9;
        for (std::size_t k = 0; k < length; ++k) {
            char16_t c = letters[random() % letters.size()];
            if (QChar::isHighSurrogate(c) || QChar::isLowSurrogate(c))
                c = u'e';
            name.push_back(c);
        }
        std::string utf8 = QString::fromStdU16String(name).toStdString();
        if (!stems.empty() && random() % 2 == 0)
            utf8 = stems[random() % stems.size()] + utf8;
        if (random() % 8 == 0)
            stems.push_back(utf8);
        if (random() % 50 == 0)
            utf8 += "\xF0\x9F\x98\x80"; // a character beyond the 16-bit range
        names.push_back(utf8);
    }
    return names;
}

TEST(CollationOrder, AgreesWithICUInManyLanguages)
{
    const char* localeNames[] = {"en_US", "pl_PL", "cs_CZ", "sk_SK", "da_DK", "de_DE", "sv_SE", "es_ES", "fr_FR",
        "vi_VN", "ru_RU", "ja_JP", "lt_LT", "hu_HU", "tr_TR", "th_TH", "cy_GB", "hr_HR"};
    std::uint32_t seed = 1;
    for (const char* localeName : localeNames) {
        const QLocale locale(QString::fromLatin1(localeName));
        const std::vector<std::string> names = trickyNames(seed++, 1500);
        const std::vector<std::string> expected = referenceOrder(names, locale);
        const std::vector<std::string> actual = ourOrder(names, locale);
        const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
        EXPECT_TRUE(mismatch.first == expected.end())
            << localeName << ": at position " << (mismatch.first - expected.begin()) << " expected \""
            << *mismatch.first << "\", got \"" << *mismatch.second << "\"";
    }
}

TEST(CollationOrder, AFewNamesSortAsManyDo)
{
    // Below a thousand names the order comes from ICU's keys alone, without the rank table: the same order.
    const char* localeNames[] = {"en_US", "pl_PL", "cs_CZ", "da_DK", "tr_TR", "th_TH"};
    std::uint32_t seed = 100;
    for (const char* localeName : localeNames) {
        const QLocale locale(QString::fromLatin1(localeName));
        for (const std::size_t count : {2, 3, 50, 999}) {
            const std::vector<std::string> names = trickyNames(seed++, count);
            EXPECT_EQ(ourOrder(names, locale), referenceOrder(names, locale)) << localeName << ", " << count;
            // The same names among many others keep their order relative to one another.
            std::vector<std::string> many = trickyNames(seed++, 1500);
            many.insert(many.end(), names.begin(), names.end());
            std::vector<std::string> sortedFew;
            for (const std::string& name : ourOrder(many, locale)) {
                if (std::find(names.begin(), names.end(), name) != names.end()
                    && std::find(sortedFew.begin(), sortedFew.end(), name) == sortedFew.end())
                    sortedFew.push_back(name);
            }
            std::vector<std::string> unique = ourOrder(names, locale);
            unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
            EXPECT_EQ(sortedFew, unique) << localeName << ", " << count;
        }
    }
}

TEST(CollationOrder, PolishLettersFollowTheirBaseLettersAndCaseDoesNotCount)
{
    const std::vector<std::string> names
        = {"zebra", "Łódź", "łąka", "Lato", "ćma", "Cyrk", "ąb", "Ab", "żaba", "źdźbło", "Zebra", "abc"};
    const std::vector<std::string> expected
        = {"Ab", "abc", "ąb", "Cyrk", "ćma", "Lato", "łąka", "Łódź", "Zebra", "zebra", "źdźbło", "żaba"};
    EXPECT_EQ(ourOrder(names, QLocale(QLocale::Polish, QLocale::Poland)), expected);
}

TEST(CollationOrder, TheCLocaleSortsAsEnglish)
{
    const std::vector<std::string> names = trickyNames(99, 800);
    EXPECT_EQ(ourOrder(names, QLocale::c()), ourOrder(names, QLocale(QLocale::English, QLocale::UnitedStates)));
}

TEST(CollationOrder, CzechSortsTheContractionChAfterH)
{
    const std::vector<std::string> names = {"chata", "cibule", "hrad", "dům", "Chrudim", "ccc"};
    const std::vector<std::string> expected = {"ccc", "cibule", "dům", "hrad", "chata", "Chrudim"};
    EXPECT_EQ(ourOrder(names, QLocale(QLocale::Czech, QLocale::CzechRepublic)), expected);
}

TEST(CollationOrder, EmptyAndSingleLists)
{
    EXPECT_TRUE(ourOrder({}, QLocale()).empty());
    EXPECT_EQ(ourOrder({"x"}, QLocale()), std::vector<std::string> {"x"});
}

} // namespace
