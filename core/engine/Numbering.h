#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

/// The base a "Base" line index stands for: index i is base i + 2. An index
/// outside the 35 lines (a damaged favourite, no choice) counts as base 10.
[[nodiscard]] int numberBaseFromIndex(int index);

/// Writes the counter value in `base` (2 to 36, else 10): decimal as a signed
/// number; other bases read the value as an unsigned 64-bit number after
/// widening, with digits 0-9 and A-Z. Zeros are put in front (before a minus
/// sign too) until the text is `pad` characters long.
[[nodiscard]] std::string formatNumber(std::int32_t value, int base, std::int32_t pad);

} // namespace vantrel
