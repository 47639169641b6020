// The two-way search, which takes over when the pair scan's candidates cost too much: linear in the data's size
// whatever the phrase. Also the comparison of the whole phrase at a start, which the scan's candidate checks share.
#include "phrase_matcher_p.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace search {

namespace {

/** Eight bytes as one number, in memory order from the lowest byte. */
std::uint64_t load64(const std::uint8_t* at)
{
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
}

/** Folds "a" to "z" onto "A" to "Z" in each of eight bytes at once, every other byte left alone. */
constexpr std::uint64_t foldWord(std::uint64_t word)
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t high = ones * 0x80;
    // Each byte's low seven bits, pushed over 0x80 when above "z" and when at least "a"; bytes of 0x80 and above
    // are no letters.
    const std::uint64_t low = word & ~high;
    const std::uint64_t aboveZ = low + ones * (0x7F - 'z');
    const std::uint64_t fromA = low + ones * (0x80 - 'a');
    const std::uint64_t lower = (fromA ^ aboveZ) & ~word & high;
    return word - (lower >> 2);
}

static_assert(foldWord(0x7B7A61605B5A4140) == 0x7B5A41605B5A4140, "only a-z fold, not @ [ ` {");
static_assert(foldWord(0xFAE1E0C0DBC1BAFF) == 0xFAE1E0C0DBC1BAFF, "bytes of 0x80 and above stay");

/**
 * The first i in [from, end) where base[i] is `byte` or, for a letter, `otherCase` (its other case), else `end`.
 * Each byte is looked at once.
 */
std::size_t findEither(
    const std::uint8_t* base, std::size_t from, std::size_t end, std::uint8_t byte, std::uint8_t otherCase)
{
    if (from >= end)
        return end;
    if (otherCase == byte) {
        const void* at = std::memchr(base + from, byte, end - from);
        return at ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - base) : end;
    }
    // A byte with bit 0x20 set is the lower-case letter exactly when it is that letter in either case.
    const auto lower = static_cast<std::uint8_t>(byte | 0x20);
#if defined(__x86_64__)
    const __m128i bit = _mm_set1_epi8(0x20);
    const __m128i target = _mm_set1_epi8(static_cast<char>(lower));
    for (; from + 16 <= end; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from));
        const auto mask
            = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(bytes, bit), target)));
        if (mask != 0)
            return from + static_cast<std::size_t>(std::countr_zero(mask));
    }
#endif
    for (; from < end; ++from) {
        if ((base[from] | 0x20) == lower)
            return from;
    }
    return end;
}

} // namespace

void PhraseMatcher::prepareLinearSearch()
{
    // The critical factorisation of Crochemore and Perrin: the phrase cut where the longer of its two maximal
    // suffixes (under the byte order and under its reverse) begins, and that suffix's period.
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const std::size_t n = length();
    if (n < 3) {
        m_cut = n == 0 ? 0 : n - 1;
        m_period = 1;
    } else {
        const auto maximalSuffix = [&](bool reverse, std::size_t& period) {
            std::size_t suffix = SIZE_MAX; // one before the start: the arithmetic below wraps on purpose
            std::size_t j = 0;
            std::size_t k = 1;
            period = 1;
            while (j + k < n) {
                const std::uint8_t a = phrase[j + k];
                const std::uint8_t b = phrase[suffix + k];
                if (reverse ? b < a : a < b) {
                    j += k;
                    k = 1;
                    period = j - suffix;
                } else if (a == b) {
                    if (k != period) {
                        ++k;
                    } else {
                        j += period;
                        k = 1;
                    }
                } else {
                    suffix = j++;
                    k = period = 1;
                }
            }
            return suffix + 1;
        };
        std::size_t period = 1;
        std::size_t reversePeriod = 1;
        const std::size_t cut = maximalSuffix(false, period);
        const std::size_t reverseCut = maximalSuffix(true, reversePeriod);
        m_cut = reverseCut < cut ? cut : reverseCut;
        m_period = reverseCut < cut ? period : reversePeriod;
    }
    // A phrase whose left part recurs one period on is periodic as a whole: the search then remembers how much
    // of the right part it has already matched.
    m_periodic = m_period + m_cut <= n && std::memcmp(phrase, phrase + m_period, m_cut) == 0;
    if (!m_periodic)
        m_period = std::max(m_cut, n - m_cut) + 1;
}

bool PhraseMatcher::foundLinearly(platform::ByteView bytes) const
{
    // The two-way search of Crochemore and Perrin: the right part of the phrase is compared from the cut
    // rightwards and a mismatch there shifts by as much as was matched; the left part is compared only once the
    // right part stands. At most two comparisons per byte, with no table. Where the first byte of the right part
    // is not, no start can be: those stretches are passed by the library's byte scan.
    const std::size_t n = length();
    if (n == 0 || bytes.size() < n)
        return false;
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const std::uint8_t* data = bytes.data();
    const std::size_t last = bytes.size() - n; // the last possible start
    const std::uint8_t key = phrase[m_cut];
    const std::uint8_t keyOtherCase = m_matchCase ? key : detail::otherCaseOf(key);
    std::size_t memory = 0;
    std::size_t j = 0;
    while (j <= last) {
        if (memory == 0) {
            const std::size_t next = findEither(data + m_cut, j, last + 1, key, keyOtherCase);
            if (next > last)
                return false;
            j = next;
        }
        std::size_t i = detail::MatcherParts::agreeingFrom(*this, data + j, std::max(m_cut, memory));
        if (i < n) {
            j += i - m_cut + 1;
            memory = 0;
            continue;
        }
        // The right part stands; now the left part, leftwards, down to what an earlier period already matched.
        const std::size_t floor = m_periodic ? memory : 0;
        i = m_cut;
        while (i > floor && fold(data[j + i - 1]) == phrase[i - 1])
            --i;
        if (i <= floor)
            return true;
        j += m_period;
        memory = m_periodic ? n - m_period : 0;
    }
    return false;
}

namespace detail {

// Kept out of line, as a call from the scan's candidate checks and from the two-way search: inlined into both,
// the two-way search on a phrase that repeats itself runs at half the speed.
std::size_t MatcherParts::agreeingFrom(const PhraseMatcher& matcher, const std::uint8_t* at, std::size_t from)
{
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(matcher.m_phrase.constData());
    const std::size_t n = matcher.length();
    std::size_t i = from;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t word = matcher.m_matchCase ? load64(at + i) : foldWord(load64(at + i));
        if (const std::uint64_t differ = word ^ load64(phrase + i); differ != 0)
            return i + static_cast<std::size_t>(std::countr_zero(differ) / 8);
    }
    for (; i < n; ++i) {
        if (matcher.fold(at[i]) != phrase[i])
            return i;
    }
    return n;
}

} // namespace detail

} // namespace search
