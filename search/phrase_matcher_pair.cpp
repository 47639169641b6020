// The choice of the two bytes the scan looks for: the rarest of the phrase, by how common each byte is in pictures
// and their descriptions.
#include "phrase_matcher_p.h"

#include <array>
#include <cstddef>
#include <cstdint>

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

/** A letter compared without regard to case stands for both of its cases: it is as common as the two together. */
int rankOf(std::uint8_t c, bool matchCase)
{
    if (matchCase || detail::otherCaseOf(c) == c)
        return kByteRanks[c];
    return kByteRanks[c] + kByteRanks[detail::otherCaseOf(c)];
}

} // namespace

void PhraseMatcher::choosePair()
{
    const std::size_t n = length();
    if (n == 0)
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_phrase.constData());
    const auto probeAt = [&](std::size_t at) {
        const std::uint8_t c = bytes[at];
        return Probe {at, c, m_matchCase ? c : detail::otherCaseOf(c)};
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

} // namespace search
