#include "name_order.h"

#include "platform/file_names.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

// Most file names are spelled in a few hundred Latin characters, and in the collations in everyday use each of
// those is one collation element with a primary weight of its own: comparing two names then comes down to
// comparing the primary ranks of their characters. Each name is turned into such a string of ranks once; only
// names that the ranks cannot tell apart (a character outside the table, or a tie decided at the accent level)
// are compared by ICU's full sort keys, made for just those names.

namespace viewer {

namespace {

constexpr char16_t kTableEnd = 0x180; // Basic Latin, Latin-1 Supplement and Latin Extended-A
constexpr std::uint8_t kEndOfName = 0; // below every rank: a name is shorter than any name it begins
constexpr std::uint8_t kUnknown = 0xFF; // a character only the full comparison can judge
constexpr int kMaxRank = 0xFE;
/** The low bits ICU's element iterator sets on the second half of a weight too long for one element. */
constexpr std::int32_t kContinuationMarker = 0xC0;
/**
 * Below this many names ICU's sort keys alone order them sooner than the rank table is made (some 15 ms, once
 * per locale and process; a key takes about a microsecond): a one-off sort of a few names, as the command-line
 * search makes of its hits, then never builds the table.
 */
constexpr std::size_t kFewNames = 1000;

using CollatorHandle = std::unique_ptr<UCollator, decltype(&ucol_close)>;

/**
 * The collator of the file list: the locale's collation at secondary strength (accents count, case does not),
 * set up as Qt's collator sets it up, so the list sorts as the rest of the desktop does.
 */
CollatorHandle openCollator(const QByteArray& localeName)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(localeName.constData(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status); // the root collation
    }
    CollatorHandle handle(collator, &ucol_close);
    if (collator) {
        ucol_setStrength(collator, UCOL_SECONDARY);
        // Names written on other systems may come decomposed, or with accents in an unusual order.
        ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        // Punctuation and digits count as they stand, in every language (some, like Thai, skip punctuation).
        ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    }
    return handle;
}

QByteArray collationLocaleName(const QLocale& locale)
{
    // The C locale has no alphabet of its own; English collation is the neutral order its users expect.
    const QLocale effective
        = locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
    return effective.name().toLatin1();
}

/** What a collation says of each character below kTableEnd, for the rank comparison. */
struct RankTable {
    /** Dense rank (1…254) of the character's only primary weight, or kUnknown. */
    std::array<std::uint8_t, kTableEnd> rank {};
    /** Whether the character's accent-level weights are the plain ones of "a": no accent to compare. */
    std::array<bool, kTableEnd> plainSecondary {};
    /** Whether the character begins a contraction, and whether it is the second character of one. */
    std::array<bool, kTableEnd> starter {};
    std::array<bool, kTableEnd> follower {};
};

/** The strings of a collation's contractions, and with `withPrefixes` those of its context mappings too. */
std::unique_ptr<USet, decltype(&uset_close)> contractionSet(
    const UCollator* collator, bool withPrefixes, UErrorCode& status)
{
    std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(), &uset_close);
    ucol_getContractionsAndExpansions(collator, set.get(), nullptr, withPrefixes, &status);
    return set;
}

/**
 * Marks the characters whose weight depends on their neighbours. Strings that begin outside the table do not
 * matter: a name reaches them only through a character left to ICU. Otherwise the first character of a
 * contraction becomes a starter and its second a follower, so that a starter followed by a follower, or by a
 * character outside the table, is left to ICU. Characters with a context mapping (a weight that depends on what
 * precedes them) are always left to ICU.
 */
void markContextualCharacters(const UCollator* collator, RankTable& table, UErrorCode& status)
{
    const auto contractions = contractionSet(collator, false, status);
    const auto withPrefixes = contractionSet(collator, true, status);
    if (U_FAILURE(status))
        return;
    std::vector<UChar> text(64);
    for (std::int32_t i = 0, count = uset_getItemCount(withPrefixes.get()); i < count; ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        std::int32_t length
            = uset_getItem(withPrefixes.get(), i, &start, &end, text.data(), std::int32_t(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            text.resize(std::size_t(length));
            length = uset_getItem(withPrefixes.get(), i, &start, &end, text.data(), length, &status);
        }
        if (U_FAILURE(status))
            return;
        if (length < 2 || text[0] >= kTableEnd)
            continue; // a name reaches such a string only through a character the table does not know
        if (!uset_containsString(contractions.get(), text.data(), length)) {
            for (std::int32_t k = 1; k < length; ++k) {
                if (text[std::size_t(k)] < kTableEnd)
                    table.rank[text[std::size_t(k)]] = kUnknown;
            }
            continue;
        }
        table.starter[text[0]] = true;
        if (text[1] < kTableEnd)
            table.follower[text[1]] = true;
    }
}

/** Whether the character maps to collation elements of which only the first has a primary weight. */
bool hasSinglePrimary(UCollationElements* elements, UChar character, UErrorCode& status)
{
    ucol_setText(elements, &character, 1, &status);
    int primaries = 0;
    bool firstIsPrimary = false;
    bool first = true;
    for (std::int32_t element = ucol_next(elements, &status); element != UCOL_NULLORDER && U_SUCCESS(status);
         element = ucol_next(elements, &status)) {
        if ((element & kContinuationMarker) == kContinuationMarker)
            continue; // the second half of a long weight
        if (ucol_primaryOrder(element) != 0) {
            ++primaries;
            firstIsPrimary = firstIsPrimary || first;
        }
        first = false;
    }
    return U_SUCCESS(status) && primaries == 1 && firstIsPrimary;
}

/** The accent-level part of a one-character sort key (everything after the first level separator). */
std::string secondaryPart(const UCollator* collator, UChar character)
{
    std::array<std::uint8_t, 64> key {};
    const std::int32_t size = ucol_getSortKey(collator, &character, 1, key.data(), std::int32_t(key.size()));
    if (size <= 0 || size > std::int32_t(key.size()))
        return {};
    const auto* begin = key.data();
    const auto* end = begin + size;
    const auto* separator = std::find(begin, end, std::uint8_t(1));
    return separator == end ? std::string() : std::string(separator + 1, end);
}

RankTable buildRankTable(const UCollator* collator)
{
    RankTable table;
    table.rank.fill(kUnknown);

    // Collations that ignore punctuation, compare case, or read digits as numbers do not compare character
    // by character: every comparison is left to ICU.
    UErrorCode status = U_ZERO_ERROR;
    const bool plain = ucol_getAttribute(collator, UCOL_ALTERNATE_HANDLING, &status) == UCOL_NON_IGNORABLE
        && ucol_getAttribute(collator, UCOL_CASE_LEVEL, &status) == UCOL_OFF
        && ucol_getAttribute(collator, UCOL_NUMERIC_COLLATION, &status) == UCOL_OFF;
    if (!plain || U_FAILURE(status))
        return table;

    const std::unique_ptr<UCollationElements, decltype(&ucol_closeElements)> elements(
        ucol_openElements(collator, nullptr, 0, &status), &ucol_closeElements);
    CollatorHandle primary(ucol_clone(collator, &status), &ucol_close);
    if (U_FAILURE(status))
        return table;
    ucol_setStrength(primary.get(), UCOL_PRIMARY);

    std::vector<UChar> candidates;
    for (UChar c = 0x20; c < kTableEnd; ++c) {
        if (c >= 0x7F && c < 0xA0)
            continue;
        if (hasSinglePrimary(elements.get(), c, status))
            candidates.push_back(c);
        if (U_FAILURE(status))
            return table;
    }
    const auto compare = [&](UChar a, UChar b) { return ucol_strcoll(primary.get(), &a, 1, &b, 1); };
    std::stable_sort(
        candidates.begin(), candidates.end(), [&](UChar a, UChar b) { return compare(a, b) == UCOL_LESS; });

    int rank = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (i == 0 || compare(candidates[i - 1], candidates[i]) != UCOL_EQUAL)
            ++rank;
        if (rank > kMaxRank)
            break; // the rest stay unknown
        table.rank[candidates[i]] = std::uint8_t(rank);
    }

    const std::string plainAccent = secondaryPart(collator, u'a');
    if (table.rank[u'a'] != kUnknown && !plainAccent.empty()) {
        for (const UChar c : candidates)
            table.plainSecondary[c] = table.rank[c] != kUnknown && secondaryPart(collator, c) == plainAccent;
    }
    markContextualCharacters(collator, table, status);
    if (U_FAILURE(status))
        table.rank.fill(kUnknown);
    return table;
}

/** The rank table of a collation, made once per locale. */
std::shared_ptr<const RankTable> rankTable(const QByteArray& localeName, const UCollator* collator)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const RankTable>> tables;
    const std::lock_guard lock(mutex);
    auto& table = tables[localeName];
    if (!table)
        table = std::make_shared<const RankTable>(buildRankTable(collator));
    return table;
}

/** The names as strings of ranks, each ended by kEndOfName or cut at its first kUnknown, in one block. */
class RankedNames {
public:
    RankedNames(const RankTable& table, const std::vector<std::string_view>& names)
    {
        m_begin.reserve(names.size() + 1);
        m_accented.reserve(names.size());
        std::size_t total = 0;
        for (const std::string_view name : names)
            total += name.size() + 1;
        m_ranks.reserve(total);
        for (const std::string_view name : names) {
            m_begin.push_back(m_ranks.size());
            m_accented.push_back(append(table, name));
        }
        m_begin.push_back(m_ranks.size());
    }

    [[nodiscard]] const std::uint8_t* ranks(std::size_t index) const { return m_ranks.data() + m_begin[index]; }

    /** The first eight ranks as one number that orders like them (kEndOfName past the end of the ranks). */
    [[nodiscard]] std::uint64_t head(std::size_t index) const
    {
        std::uint64_t head = 0;
        const std::uint8_t* r = ranks(index);
        const std::size_t length = m_begin[index + 1] - m_begin[index];
        for (std::size_t i = 0; i < 8; ++i)
            head = (head << 8) | (i < length ? r[i] : kEndOfName);
        return head;
    }

    /** Whether a tie between the ranks of this name leaves an accent-level difference to look at. */
    [[nodiscard]] bool accented(std::size_t index) const { return m_accented[index]; }

private:
    /** Appends the ranks of one UTF-8 name; tells whether it has a character with accent-level weights. */
    bool append(const RankTable& table, std::string_view name)
    {
        bool accented = false;
        bool afterStarter = false; // the last rank written may yet begin a contraction
        std::size_t written = 0;
        for (std::size_t i = 0; i < name.size();) {
            const auto lead = static_cast<unsigned char>(name[i]);
            char16_t c = kTableEnd; // anything not decoded below lies outside the table
            if (lead < 0x80) {
                c = lead;
                i += 1;
            } else if (lead >= 0xC2 && lead <= 0xC5 && i + 1 < name.size()
                && (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
                c = static_cast<char16_t>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3F));
                i += 2;
            }
            const std::uint8_t rank = c < kTableEnd ? table.rank[c] : kUnknown;
            if (rank == kUnknown || (afterStarter && table.follower[c])) {
                // The character before may combine with this one (a contraction, or an accent that normalisation
                // joins to it): from there on the name is for ICU to weigh.
                if (written > 0)
                    m_ranks.back() = kUnknown;
                else
                    m_ranks.push_back(kUnknown);
                return true;
            }
            m_ranks.push_back(rank);
            ++written;
            accented = accented || !table.plainSecondary[c];
            afterStarter = table.starter[c];
        }
        m_ranks.push_back(kEndOfName);
        return accented;
    }

    std::vector<std::uint8_t> m_ranks;
    std::vector<std::size_t> m_begin;
    std::vector<bool> m_accented;
};

/** ICU's own sort keys, made on first need for the names that the ranks cannot order. */
class FullKeys {
public:
    FullKeys(const UCollator* collator, const std::vector<std::string_view>& names)
        : m_collator(collator)
        , m_names(names)
        , m_keys(names.size())
    {
    }

    [[nodiscard]] const std::string& key(std::size_t index)
    {
        std::string& key = m_keys[index];
        if (key.empty()) {
            const QString name = platform::fileNameFromBytes(m_names[index]);
            const auto* text = reinterpret_cast<const UChar*>(name.utf16());
            const auto length = static_cast<std::int32_t>(name.size());
            key.resize(64);
            auto* bytes = reinterpret_cast<std::uint8_t*>(key.data());
            std::int32_t size = ucol_getSortKey(m_collator, text, length, bytes, std::int32_t(key.size()));
            if (size > std::int32_t(key.size())) {
                key.resize(std::size_t(size));
                bytes = reinterpret_cast<std::uint8_t*>(key.data());
                size = ucol_getSortKey(m_collator, text, length, bytes, size);
            }
            key.resize(std::size_t(std::max(size, 1))); // a key is never empty: it ends with a zero byte
        }
        return key;
    }

private:
    const UCollator* m_collator;
    const std::vector<std::string_view>& m_names;
    std::vector<std::string> m_keys;
};

} // namespace

std::vector<std::uint32_t> collationOrder(const std::vector<std::string_view>& names, const QLocale& locale)
{
    std::vector<std::uint32_t> order(names.size());
    std::iota(order.begin(), order.end(), std::uint32_t {0});
    if (names.size() < 2)
        return order; // nothing to compare: no collator needed
    const QByteArray localeName = collationLocaleName(locale);
    const CollatorHandle collator = openCollator(localeName);
    if (names.size() < kFewNames) {
        // ICU's keys alone: the rank table would take longer to make than these names take to sort.
        FullKeys fullKeys(collator.get(), names);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int byCollation = fullKeys.key(a).compare(fullKeys.key(b));
            return byCollation != 0 ? byCollation < 0 : names[a] < names[b];
        });
        return order;
    }
    const std::shared_ptr<const RankTable> table = rankTable(localeName, collator.get());
    const RankedNames ranked(*table, names);
    FullKeys fullKeys(collator.get(), names);

    // Negative, zero or positive as name a collates before, equal to or after name b.
    const auto collate = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint8_t* x = ranked.ranks(a);
        const std::uint8_t* y = ranked.ranks(b);
        while (*x == *y && *x != kEndOfName && *x != kUnknown) {
            ++x;
            ++y;
        }
        if (*x != *y && *x != kUnknown && *y != kUnknown)
            return *x < *y ? -1 : 1; // told apart by a letter before any character the table does not know
        if (*x == kEndOfName && *y == kEndOfName && !ranked.accented(a) && !ranked.accented(b))
            return 0;
        return fullKeys.key(a).compare(fullKeys.key(b));
    };

    struct Entry {
        std::uint64_t head;
        std::uint32_t index;
    };
    std::vector<Entry> entries(names.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        entries[i] = {ranked.head(i), i};

    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.head != b.head) {
            // The first differing rank decides, unless it, or the other name's, is unknown.
            const int shift = 56 - (__builtin_clzll(a.head ^ b.head) & ~7);
            const auto ra = std::uint8_t(a.head >> shift);
            const auto rb = std::uint8_t(b.head >> shift);
            if (ra != kUnknown && rb != kUnknown)
                return a.head < b.head;
        }
        const int byCollation = collate(a.index, b.index);
        if (byCollation != 0)
            return byCollation < 0;
        return names[a.index] < names[b.index];
    });

    for (std::size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].index;
    return order;
}

} // namespace viewer
