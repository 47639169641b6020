#pragma once

#include "platform/bytes.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

/** The phrase search over the raw bytes of files, free of widgets. */
namespace search {

namespace detail {
struct MatcherParts;
}

/** Folds "a" to "z" onto "A" to "Z" and leaves every other byte alone. */
[[nodiscard]] constexpr std::uint8_t foldAsciiLetter(std::uint8_t c)
{
    return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - ('a' - 'A')) : c;
}

/**
 * A phrase looked for in raw bytes, picture data and description alike. Without regard to case only the
 * bytes "a" to "z" are folded onto "A" to "Z", in the phrase and in the data; every other byte matches only
 * itself. An empty phrase is never found.
 *
 * The scan never copies or folds the data. It looks for two bytes of the phrase, chosen as the rarest in
 * pictures and text, at their distance from each other, sixteen, thirty-two or sixty-four positions at a time
 * (SSE2, AVX2 or AVX-512, the widest the processor has, chosen once at start-up), and compares the whole phrase
 * only where both stand. Without regard to case a letter of the pair is compared against both of its cases.
 * When those comparisons cost more than a few steps per byte passed (a phrase that repeats itself, in data that
 * repeats it almost), the rest is searched by foundLinearly(): any phrase in any data takes time linear in the
 * data's size.
 */
class PhraseMatcher {
public:
    PhraseMatcher(QByteArray phrase, bool matchCase);

    [[nodiscard]] bool foundIn(platform::ByteView bytes) const;
    /** The bytes a reader taking a file in pieces keeps from one piece for the next. */
    [[nodiscard]] qsizetype carry() const { return m_phrase.isEmpty() ? 0 : m_phrase.size() - 1; }
    [[nodiscard]] bool empty() const { return m_phrase.isEmpty(); }

    /** Whether the phrase is in `bytes`, reading each byte once, whatever the phrase and the data. */
    [[nodiscard]] bool foundLinearly(platform::ByteView bytes) const;

    [[nodiscard]] std::size_t length() const { return static_cast<std::size_t>(m_phrase.size()); }

private:
    /** The scans' way in to the pair and the phrase (phrase_matcher_p.h). */
    friend struct detail::MatcherParts;

    /** One byte of the phrase that the scan looks for first, at `offset` from the phrase's start. */
    struct Probe {
        std::size_t offset = 0;
        /** The byte and, without regard to case, its other case (else the same byte twice). */
        std::uint8_t byte = 0;
        std::uint8_t otherCase = 0;
    };

    void choosePair();
    void prepareLinearSearch();

    /** The phrase, with "a" to "z" folded when case does not matter. */
    QByteArray m_phrase;
    bool m_matchCase;
    Probe m_first;
    Probe m_second;
    [[nodiscard]] std::uint8_t fold(std::uint8_t c) const { return m_matchCase ? c : foldAsciiLetter(c); }

    /** For foundLinearly(): where the phrase is cut into its left and right parts, and the shift after a match
     * of the right part; whether the phrase is periodic with that shift. */
    std::size_t m_cut = 0;
    std::size_t m_period = 1;
    bool m_periodic = false;
};

/** The scanners a processor may have; foundIn() uses the fastest this one has. */
enum class Scanner { Portable, Sse2, Avx2, Avx512 };

/** Whether this processor can run `scanner`. */
[[nodiscard]] bool scannerAvailable(Scanner scanner);

/** PhraseMatcher::foundIn() with a given scanner (which must be available), so that each can be checked. */
[[nodiscard]] bool foundInWith(const PhraseMatcher& matcher, platform::ByteView bytes, Scanner scanner);

} // namespace search
