#include "engine/Numbering.h"

#include <algorithm>

namespace vantrel {

int numberBaseFromIndex(int index) {
    return (index >= 0 && index <= 34) ? index + 2 : 10;
}

std::string formatNumber(std::int32_t value, int base, std::int32_t pad) {
    if (base < 2 || base > 36)
        base = 10;
    char digits[72];
    char* end = digits + sizeof digits;
    char* p = end;
    if (base == 10) {
        const bool negative = value < 0;
        auto magnitude = static_cast<std::uint64_t>(negative ? -std::int64_t{value} : value);
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative)
            *--p = '-';
    } else {
        static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        auto n = static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
        const auto b = static_cast<std::uint64_t>(base);
        do {
            *--p = kAlphabet[n % b];
            n /= b;
        } while (n != 0);
    }
    std::string text;
    const auto length = static_cast<std::int32_t>(end - p);
    // A pad beyond any sensible name length would only build a huge string.
    const std::int32_t padTo = std::min<std::int32_t>(pad, 4096);
    if (padTo > length)
        text.assign(static_cast<std::size_t>(padTo - length), '0');
    text.append(p, end);
    return text;
}

} // namespace vantrel
