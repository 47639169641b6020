#include "phrase_matcher.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace search {

namespace {

/**
 * How common a byte is in what the search reads: compressed picture data, where every byte is about as likely
 * as any other but 0x00 and 0xFF are more so, and Polish or English description text. Higher is more common.
 */
constexpr std::array<std::uint8_t, 256> makeByteRanks()
{
    std::array<std::uint8_t, 256> ranks {};
    for (std::size_t b = 0; b < 256; ++b)
        ranks[b] = 40;
    for (std::size_t b = 'A'; b <= 'Z'; ++b)
        ranks[b] = 90;
    for (std::size_t b = '0'; b <= '9'; ++b)
        ranks[b] = 100;
    for (std::size_t b = 'a'; b <= 'z'; ++b)
        ranks[b] = 150;
    for (const char c : "eaioznrwstcykdpmlu")
        ranks[static_cast<std::uint8_t>(c)] = 200;
    for (const char c : ",.-\r\n")
        ranks[static_cast<std::uint8_t>(c)] = 130;
    ranks[' '] = 240;
    ranks[0x00] = 250;
    ranks[0xFF] = 250;
    return ranks;
}

constexpr std::array<std::uint8_t, 256> kByteRanks = makeByteRanks();

constexpr std::uint8_t otherCaseOf(std::uint8_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<std::uint8_t>(c + ('a' - 'A'));
    if (c >= 'a' && c <= 'z')
        return static_cast<std::uint8_t>(c - ('a' - 'A'));
    return c;
}

/** A letter compared without regard to case stands for both of its cases: it is as common as the two together. */
int rankOf(std::uint8_t c, bool matchCase)
{
    if (matchCase || otherCaseOf(c) == c)
        return kByteRanks[c];
    return kByteRanks[c] + kByteRanks[otherCaseOf(c)];
}

/** How a scan ended: the phrase found, no start left, or the candidates costing too much to check one by one. */
enum class Outcome { Found, Absent, Costly };

/**
 * Checks the starts where both probes stand. A phrase that repeats itself ("xyxy…z" in "xyxyxy…") puts a candidate
 * at nearly every start, each compared far into the phrase; once the comparisons have cost more than a few times
 * the bytes passed, the scan gives up and the linear search takes over from the first start not yet checked, so
 * that no phrase costs more than a bounded number of steps per byte.
 */
class CandidateChecker {
public:
    CandidateChecker(const PhraseMatcher& matcher, const std::uint8_t* data)
        : m_matcher(matcher)
        , m_data(data)
    {
    }

    /** Checks each start whose bit is set in `mask` (bit k: start at `base` + k), in order; kept out of the scan
     * loops, which it would only crowd. */
    __attribute__((noinline)) Outcome check(const std::uint8_t* base, std::uint64_t mask)
    {
        while (mask != 0) {
            const std::uint8_t* at = base + std::countr_zero(mask);
            const std::size_t same = m_matcher.agreeingFrom(at, 0);
            if (same == m_matcher.length())
                return Outcome::Found;
            m_spent += same + 1;
            const auto passed = static_cast<std::size_t>(at - m_data);
            if (m_spent > kAllowance + kBytesPerByte * passed) {
                m_resumeAt = passed + 1;
                return Outcome::Costly;
            }
            mask &= mask - 1;
        }
        return Outcome::Absent;
    }

    /** After Outcome::Costly: the first start that has not been checked. */
    [[nodiscard]] std::size_t resumeAt() const { return m_resumeAt; }

private:
    /** Bytes compared that any scan may spend, and how many more each byte passed allows. */
    static constexpr std::size_t kAllowance = 4096;
    static constexpr std::size_t kBytesPerByte = 2;

    const PhraseMatcher& m_matcher;
    const std::uint8_t* m_data;
    std::size_t m_spent = 0;
    std::size_t m_resumeAt = 0;
};

using Kernel = Outcome (*)(const PhraseMatcher&, const std::uint8_t*, std::size_t, CandidateChecker&);

/** The scanners for this processor: one comparing each probe with one byte, one with both cases of a letter. */
struct Kernels {
    Kernel oneCase;
    Kernel twoCases;
};

/** Tries every start in [from, last] one by one; for the few positions the vector loops leave over. */
Outcome scanScalar(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t from, std::size_t last,
    CandidateChecker& checker)
{
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    for (std::size_t i = from; i <= last; ++i) {
        const std::uint8_t x = data[i + a.offset];
        const std::uint8_t y = data[i + b.offset];
        if ((x == a.byte || x == a.otherCase) && (y == b.byte || y == b.otherCase)) {
            if (const Outcome outcome = checker.check(data + i, 1); outcome != Outcome::Absent)
                return outcome;
        }
    }
    return Outcome::Absent;
}

#if defined(__x86_64__)

/**
 * The vector scanners compare a letter with both of its cases at once: a byte with bit 0x20 set equals a lower-case
 * letter exactly when the byte is that letter in either case. Other bytes are compared as they are.
 */
constexpr std::uint8_t caseBit(const PhraseMatcher::Probe& probe)
{
    return probe.byte != probe.otherCase ? 0x20 : 0;
}

constexpr std::uint8_t probeTarget(const PhraseMatcher::Probe& probe)
{
    return static_cast<std::uint8_t>(probe.byte | caseBit(probe));
}

/** Where a vector of bytes equals the probe's target, with `TwoCases` after setting the probe's case bit. */
template <bool TwoCases> __m128i probeHits(__m128i bytes, __m128i target, __m128i bit)
{
    return _mm_cmpeq_epi8(TwoCases ? _mm_or_si128(bytes, bit) : bytes, target);
}

template <bool TwoCases>
Outcome scanSse2(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size, CandidateChecker& checker)
{
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    const std::size_t last = size - matcher.length(); // the last possible start
    const __m128i a1 = _mm_set1_epi8(static_cast<char>(probeTarget(a)));
    const __m128i a2 = _mm_set1_epi8(static_cast<char>(caseBit(a)));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(probeTarget(b)));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(caseBit(b)));
    std::size_t i = 0;
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + a.offset));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + b.offset));
        const __m128i both = _mm_and_si128(probeHits<TwoCases>(x, a1, a2), probeHits<TwoCases>(y, b1, b2));
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(both));
        if (mask != 0) {
            if (const Outcome outcome = checker.check(data + i, mask); outcome != Outcome::Absent)
                return outcome;
        }
    }
    return scanScalar(matcher, data, i, last, checker);
}

/** The starts among the 32 from `at` where both probes stand (a byte of all ones each). */
template <bool TwoCases>
__attribute__((target("avx2"), always_inline)) inline __m256i pairHits(const std::uint8_t* at,
    const PhraseMatcher::Probe& a, const PhraseMatcher::Probe& b, __m256i a1, __m256i a2, __m256i b1, __m256i b2)
{
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + a.offset));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + b.offset));
    if constexpr (TwoCases)
        return _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_or_si256(x, a2), a1), _mm256_cmpeq_epi8(_mm256_or_si256(y, b2), b1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(x, a1), _mm256_cmpeq_epi8(y, b1));
}

/** 128 starts per round: four vectors of 32, tested together, so a round without a candidate costs one branch. */
template <bool TwoCases>
__attribute__((target("avx2"))) Outcome scanAvx2(
    const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size, CandidateChecker& checker)
{
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    const std::size_t last = size - matcher.length();
    const __m256i a1 = _mm256_set1_epi8(static_cast<char>(probeTarget(a)));
    const __m256i a2 = _mm256_set1_epi8(static_cast<char>(caseBit(a)));
    const __m256i b1 = _mm256_set1_epi8(static_cast<char>(probeTarget(b)));
    const __m256i b2 = _mm256_set1_epi8(static_cast<char>(caseBit(b)));
    std::size_t i = 0;
    for (; i + 128 <= last + 1; i += 128) {
        const __m256i h0 = pairHits<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        const __m256i h1 = pairHits<TwoCases>(data + i + 32, a, b, a1, a2, b1, b2);
        const __m256i h2 = pairHits<TwoCases>(data + i + 64, a, b, a1, a2, b1, b2);
        const __m256i h3 = pairHits<TwoCases>(data + i + 96, a, b, a1, a2, b1, b2);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(h0, h1), _mm256_or_si256(h2, h3));
        if (_mm256_testz_si256(any, any))
            continue;
        std::size_t at = i;
        for (const __m256i hits : {h0, h1, h2, h3}) {
            const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
            if (const Outcome outcome = checker.check(data + at, mask); outcome != Outcome::Absent)
                return outcome;
            at += 32;
        }
    }
    for (; i + 32 <= last + 1; i += 32) {
        const __m256i both = pairHits<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(both));
        if (mask != 0) {
            if (const Outcome outcome = checker.check(data + i, mask); outcome != Outcome::Absent)
                return outcome;
        }
    }
    return scanScalar(matcher, data, i, last, checker);
}

/** The starts among the 64 from `at` where both probes stand (bit k: start at `at` + k). */
template <bool TwoCases>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __mmask64 pairHits512(const std::uint8_t* at,
    const PhraseMatcher::Probe& a, const PhraseMatcher::Probe& b, __m512i a1, __m512i a2, __m512i b1, __m512i b2)
{
    __m512i x = _mm512_loadu_si512(at + a.offset);
    __m512i y = _mm512_loadu_si512(at + b.offset);
    if constexpr (TwoCases) {
        x = _mm512_or_si512(x, a2);
        y = _mm512_or_si512(y, b2);
    }
    return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(x, a1), y, b1);
}

/** 256 starts per round, as scanAvx2 but with vectors of 64 bytes and the hits as bit masks. */
template <bool TwoCases>
__attribute__((target("avx512f,avx512bw"))) Outcome scanAvx512(
    const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size, CandidateChecker& checker)
{
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    const std::size_t last = size - matcher.length();
    const __m512i a1 = _mm512_set1_epi8(static_cast<char>(probeTarget(a)));
    const __m512i a2 = _mm512_set1_epi8(static_cast<char>(caseBit(a)));
    const __m512i b1 = _mm512_set1_epi8(static_cast<char>(probeTarget(b)));
    const __m512i b2 = _mm512_set1_epi8(static_cast<char>(caseBit(b)));
    std::size_t i = 0;
    // The first probe's loads then start on cache lines: only the second probe's cross from one line to the next.
    if (last + 1 >= 64) {
        const auto misalignment = reinterpret_cast<std::uintptr_t>(data + a.offset) % 64;
        if (misalignment != 0) {
            const std::size_t head = 64 - misalignment;
            const __mmask64 hits = pairHits512<TwoCases>(data, a, b, a1, a2, b1, b2) & ((__mmask64 {1} << head) - 1);
            if (hits != 0) {
                if (const Outcome outcome = checker.check(data, hits); outcome != Outcome::Absent)
                    return outcome;
            }
            i = head;
        }
    }
    for (; i + 256 <= last + 1; i += 256) {
        const __mmask64 h0 = pairHits512<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        const __mmask64 h1 = pairHits512<TwoCases>(data + i + 64, a, b, a1, a2, b1, b2);
        const __mmask64 h2 = pairHits512<TwoCases>(data + i + 128, a, b, a1, a2, b1, b2);
        const __mmask64 h3 = pairHits512<TwoCases>(data + i + 192, a, b, a1, a2, b1, b2);
        if ((h0 | h1 | h2 | h3) == 0)
            continue;
        std::size_t at = i;
        for (const __mmask64 hits : {h0, h1, h2, h3}) {
            if (const Outcome outcome = checker.check(data + at, hits); outcome != Outcome::Absent)
                return outcome;
            at += 64;
        }
    }
    for (; i + 64 <= last + 1; i += 64) {
        const __mmask64 hits = pairHits512<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        if (hits != 0) {
            if (const Outcome outcome = checker.check(data + i, hits); outcome != Outcome::Absent)
                return outcome;
        }
    }
    return scanScalar(matcher, data, i, last, checker);
}

bool hasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

/** AVX-512 with byte operations; the check covers the system's support of the wide registers too. */
bool hasAvx512()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

#endif

Outcome scanPortable(
    const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size, CandidateChecker& checker)
{
    return scanScalar(matcher, data, 0, size - matcher.length(), checker);
}

Kernels kernelsOf(Scanner scanner)
{
    switch (scanner) {
#if defined(__x86_64__)
    case Scanner::Avx512:
        return {scanAvx512<false>, scanAvx512<true>};
    case Scanner::Avx2:
        return {scanAvx2<false>, scanAvx2<true>};
    case Scanner::Sse2:
        return {scanSse2<false>, scanSse2<true>};
#endif
    default:
        return {scanPortable, scanPortable};
    }
}

Scanner fastestScanner()
{
#if defined(__x86_64__)
    if (hasAvx512())
        return Scanner::Avx512;
    return hasAvx2() ? Scanner::Avx2 : Scanner::Sse2;
#else
    return Scanner::Portable;
#endif
}

bool scan(const Kernels& kernels, const PhraseMatcher& matcher, platform::ByteView bytes)
{
    if (matcher.empty() || bytes.size() < matcher.length())
        return false;
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    const bool twoCases = a.byte != a.otherCase || b.byte != b.otherCase;
    CandidateChecker checker(matcher, bytes.data());
    switch ((twoCases ? kernels.twoCases : kernels.oneCase)(matcher, bytes.data(), bytes.size(), checker)) {
    case Outcome::Found:
        return true;
    case Outcome::Absent:
        return false;
    case Outcome::Costly:
        break;
    }
    return matcher.foundLinearly(bytes.subspan(checker.resumeAt()));
}

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

PhraseMatcher::PhraseMatcher(QByteArray phrase, bool matchCase)
    : m_phrase(std::move(phrase))
    , m_matchCase(matchCase)
{
    if (!m_matchCase) {
        for (char& c : m_phrase)
            c = static_cast<char>(foldAsciiLetter(static_cast<std::uint8_t>(c)));
    }
    choosePair();
    prepareLinearSearch();
}

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
    const std::uint8_t keyOtherCase = m_matchCase ? key : otherCaseOf(key);
    std::size_t memory = 0;
    std::size_t j = 0;
    while (j <= last) {
        if (memory == 0) {
            const std::size_t next = findEither(data + m_cut, j, last + 1, key, keyOtherCase);
            if (next > last)
                return false;
            j = next;
        }
        std::size_t i = agreeingFrom(data + j, std::max(m_cut, memory));
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

void PhraseMatcher::choosePair()
{
    const std::size_t n = length();
    if (n == 0)
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const auto probeAt = [&](std::size_t at) {
        const std::uint8_t c = bytes[at];
        return Probe {at, c, m_matchCase ? c : otherCaseOf(c)};
    };
    // The rarest byte first; then the rarest of the other bytes, so the two rarely stand together by chance.
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (rankOf(bytes[i], m_matchCase) < rankOf(bytes[rarest], m_matchCase))
            rarest = i;
    }
    std::size_t partner = rarest;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == rarest)
            continue;
        const bool differs = bytes[i] != bytes[rarest];
        const bool partnerDiffers = partner != rarest && bytes[partner] != bytes[rarest];
        if (partner == rarest || (differs && !partnerDiffers)
            || (differs == partnerDiffers && rankOf(bytes[i], m_matchCase) < rankOf(bytes[partner], m_matchCase)))
            partner = i;
    }
    m_first = probeAt(rarest);
    m_second = probeAt(partner);
}

std::size_t PhraseMatcher::agreeingFrom(const std::uint8_t* at, std::size_t from) const
{
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const std::size_t n = length();
    std::size_t i = from;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t word = m_matchCase ? load64(at + i) : foldWord(load64(at + i));
        if (const std::uint64_t differ = word ^ load64(phrase + i); differ != 0)
            return i + static_cast<std::size_t>(std::countr_zero(differ) / 8);
    }
    for (; i < n; ++i) {
        if (fold(at[i]) != phrase[i])
            return i;
    }
    return n;
}

bool PhraseMatcher::foundIn(platform::ByteView bytes) const
{
    // The scanners for this processor, chosen on first use (never during another file's static set-up).
    static const Kernels kernels = kernelsOf(fastestScanner());
    return scan(kernels, *this, bytes);
}

bool scannerAvailable(Scanner scanner)
{
#if defined(__x86_64__)
    switch (scanner) {
    case Scanner::Avx512:
        return hasAvx512();
    case Scanner::Avx2:
        return hasAvx2();
    default:
        return true;
    }
#else
    return scanner == Scanner::Portable;
#endif
}

bool foundInWith(const PhraseMatcher& matcher, platform::ByteView bytes, Scanner scanner)
{
    return scan(kernelsOf(scanner), matcher, bytes);
}

} // namespace search
