#pragma once

#include <QLocale>

#include <cstdint>
#include <string_view>
#include <vector>

/** The order of the file list: names sorted without regard to case in a locale's collation. */
namespace viewer {

/**
 * The order in which the UTF-8 `names` are listed: sorted in the collation of `locale` at secondary strength
 * (accents count, letter case does not), the C locale taking English collation. Names that collate equal keep
 * a fixed order by their bytes. Returns the indices of `names` in that order. Any part of a list keeps the order
 * it has in the whole list, and a few names (under a thousand) cost little: they are ordered by ICU's sort keys
 * alone, without the table of ranks that speeds up long lists.
 */
[[nodiscard]] std::vector<std::uint32_t> collationOrder(
    const std::vector<std::string_view>& names, const QLocale& locale);

} // namespace viewer
