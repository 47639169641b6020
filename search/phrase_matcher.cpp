#include "phrase_matcher.h"

#include "phrase_matcher_p.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace search {

namespace {

using detail::MatcherParts;
using Probe = MatcherParts::Probe;

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
            const std::size_t same = MatcherParts::agreeingFrom(m_matcher, at, 0);
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
    const Probe& a = MatcherParts::first(matcher);
    const Probe& b = MatcherParts::second(matcher);
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
constexpr std::uint8_t caseBit(const Probe& probe)
{
    return probe.byte != probe.otherCase ? 0x20 : 0;
}

constexpr std::uint8_t probeTarget(const Probe& probe)
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
    const Probe& a = MatcherParts::first(matcher);
    const Probe& b = MatcherParts::second(matcher);
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
__attribute__((target("avx2"), always_inline)) inline __m256i pairHits(
    const std::uint8_t* at, const Probe& a, const Probe& b, __m256i a1, __m256i a2, __m256i b1, __m256i b2)
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
    const Probe& a = MatcherParts::first(matcher);
    const Probe& b = MatcherParts::second(matcher);
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
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __mmask64 pairHits512(
    const std::uint8_t* at, const Probe& a, const Probe& b, __m512i a1, __m512i a2, __m512i b1, __m512i b2)
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
    const Probe& a = MatcherParts::first(matcher);
    const Probe& b = MatcherParts::second(matcher);
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
    const Probe& a = MatcherParts::first(matcher);
    const Probe& b = MatcherParts::second(matcher);
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
