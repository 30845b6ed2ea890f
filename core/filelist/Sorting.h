#pragma once

#include "filelist/FileEntry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vantrel {

class RandomSource;

/// How the file list is ordered: the sort column (0 to 8, the list's columns,
/// or -1 for none), the direction and the two options. Any non-zero flag
/// counts as set.
struct SortState {
    std::int32_t column = -1;
    std::int32_t ascending = 0; ///< 1 ascending, 0 descending
    std::int32_t xpStyle = 0;   ///< text columns compare digit runs by value
    std::int32_t random = 0;    ///< sorting shuffles instead
};

/// Number of list columns that can be sorted by.
inline constexpr std::int32_t kSortColumnCount = 9;

/// A header click (flag set) or the restoring of the stored sort (flag = the
/// stored direction): the first call sets column and direction, a click on
/// the sort column reverses it, a click on another column sorts by that one
/// ascending; random is switched off. A column outside 0 to 8 becomes 0.
/// Returns the flag: whether the caller must sort now.
bool setSortColumn(SortState& state, int column, bool flag);

/// Case-insensitive comparison of two names (simple case folding per
/// character, then character order); -1, 0 or 1. Invalid bytes compare as
/// characters U+DC00 + byte. Never fails.
[[nodiscard]] int compareIgnoreCase(std::string_view a, std::string_view b);

/// Natural comparison: runs of ASCII digits compare by numeric value, of any
/// length; everything else as compareIgnoreCase, a digit run standing between
/// "/" and ":". Texts equal so far are told apart by their leading zeros: at
/// the first run whose zeros differ, the run with more of them goes first
/// ("a01" before "a1"). -1, 0 or 1; 0 exactly when the texts differ only in
/// letter case. A strict weak order. Never fails.
[[nodiscard]] int naturalCompare(std::string_view a, std::string_view b);

/// Order of two list entries under the sort state: -1 when `a` goes first,
/// 1 when `b` does, 0 when they tie (always 0 for no column, a column outside
/// 0 to 8, or random set: shuffling is sortOrder's job). Never fails: a date
/// that cannot be converted to an instant sorts before every other date.
[[nodiscard]] int compareEntries(const FileEntry& a, const FileEntry& b, const SortState& state);

/// The new row order (new position -> old index): the rows sorted by
/// compareEntries, tied rows keeping their present order, or, with random
/// set, a uniform shuffle drawn from `random`. Never fails.
[[nodiscard]] std::vector<std::size_t> sortOrder(const std::vector<FileEntry>& rows,
                                                 const SortState& state, RandomSource& random);

/// The same for rows held elsewhere.
[[nodiscard]] std::vector<std::size_t> sortOrder(const std::vector<FileEntry*>& rows,
                                                 const SortState& state, RandomSource& random);

} // namespace vantrel
