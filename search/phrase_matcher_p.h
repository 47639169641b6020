#pragma once

// The phrase matcher's inner parts, shared by its implementation files: the choice of the pair of bytes the scan
// looks for, the scan's kernels, and the two-way search.

#include "phrase_matcher.h"

#include <cstddef>
#include <cstdint>

namespace search::detail {

constexpr std::uint8_t otherCaseOf(std::uint8_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<std::uint8_t>(c + ('a' - 'A'));
    if (c >= 'a' && c <= 'z')
        return static_cast<std::uint8_t>(c - ('a' - 'A'));
    return c;
}

/** What the scans read of a matcher, which its public face does not show. */
struct MatcherParts {
    using Probe = PhraseMatcher::Probe;

    [[nodiscard]] static const Probe& first(const PhraseMatcher& matcher) { return matcher.m_first; }
    [[nodiscard]] static const Probe& second(const PhraseMatcher& matcher) { return matcher.m_second; }

    /**
     * The first index from `from` on at which the phrase and the bytes from `at` differ, or the phrase's length
     * when they agree to the end; the caller has checked that the phrase's length fits there.
     */
    [[nodiscard]] static std::size_t agreeingFrom(
        const PhraseMatcher& matcher, const std::uint8_t* at, std::size_t from);
};

} // namespace search::detail
