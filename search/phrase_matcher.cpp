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

using Kernel = bool (*)(const PhraseMatcher&, const std::uint8_t*, std::size_t);

/** The scanners for this processor: one comparing each probe with one byte, one with both cases of a letter. */
struct Kernels {
    Kernel oneCase;
    Kernel twoCases;
};

/** Tries every start in [from, last] one by one; for the few positions the vector loops leave over. */
bool scanScalar(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t from, std::size_t last)
{
    const PhraseMatcher::Probe& a = matcher.first();
    const PhraseMatcher::Probe& b = matcher.second();
    for (std::size_t i = from; i <= last; ++i) {
        const std::uint8_t x = data[i + a.offset];
        const std::uint8_t y = data[i + b.offset];
        if ((x == a.byte || x == a.otherCase) && (y == b.byte || y == b.otherCase) && matcher.matchesAt(data + i))
            return true;
    }
    return false;
}

/** Checks each start whose bit is set in `mask` (bit k: start at `base` + k). */
bool verifyCandidates(const PhraseMatcher& matcher, const std::uint8_t* base, std::uint64_t mask)
{
    while (mask != 0) {
        if (matcher.matchesAt(base + std::countr_zero(mask)))
            return true;
        mask &= mask - 1;
    }
    return false;
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

template <bool TwoCases> bool scanSse2(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size)
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
        if (mask != 0 && verifyCandidates(matcher, data + i, mask))
            return true;
    }
    return scanScalar(matcher, data, i, last);
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
__attribute__((target("avx2"))) bool scanAvx2(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size)
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
            if (verifyCandidates(matcher, data + at, static_cast<std::uint32_t>(_mm256_movemask_epi8(hits))))
                return true;
            at += 32;
        }
    }
    for (; i + 32 <= last + 1; i += 32) {
        const __m256i both = pairHits<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(both));
        if (mask != 0 && verifyCandidates(matcher, data + i, mask))
            return true;
    }
    return scanScalar(matcher, data, i, last);
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
__attribute__((target("avx512f,avx512bw"))) bool scanAvx512(
    const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size)
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
            if (hits != 0 && verifyCandidates(matcher, data, hits))
                return true;
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
            if (verifyCandidates(matcher, data + at, hits))
                return true;
            at += 64;
        }
    }
    for (; i + 64 <= last + 1; i += 64) {
        const __mmask64 hits = pairHits512<TwoCases>(data + i, a, b, a1, a2, b1, b2);
        if (hits != 0 && verifyCandidates(matcher, data + i, hits))
            return true;
    }
    return scanScalar(matcher, data, i, last);
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

bool scanPortable(const PhraseMatcher& matcher, const std::uint8_t* data, std::size_t size)
{
    return scanScalar(matcher, data, 0, size - matcher.length());
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
    return (twoCases ? kernels.twoCases : kernels.oneCase)(matcher, bytes.data(), bytes.size());
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

bool PhraseMatcher::matchesAt(const std::uint8_t* at) const
{
    const auto* phrase = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const std::size_t n = length();
    if (m_matchCase)
        return std::memcmp(at, phrase, n) == 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (foldAsciiLetter(at[i]) != phrase[i])
            return false;
    }
    return true;
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
