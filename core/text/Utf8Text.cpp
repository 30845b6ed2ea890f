#include "text/Utf8Text.h"

#include <climits>
#include <cstring>
#include <utf8proc.h>

namespace vantrel::text {
namespace {

constexpr bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed sequence at `p`, or 0 when the byte at `p` starts
// none. `cp` receives the code point. Follows the well-formed byte table of
// Unicode (no overlongs, no surrogates, nothing above U+10FFFF).
std::size_t sequenceAt(const unsigned char* p, std::size_t avail, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (avail < 2 || !isContinuation(p[1]))
            return 0;
        cp = (char32_t{b0} & 0x1F) << 6 | (char32_t{p[1]} & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (avail < 3)
            return 0;
        const unsigned char lo = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b0 == 0xED ? 0x9F : 0xBF;
        if (p[1] < lo || p[1] > hi || !isContinuation(p[2]))
            return 0;
        cp = (char32_t{b0} & 0x0F) << 12 | (char32_t{p[1]} & 0x3F) << 6 | (char32_t{p[2]} & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (avail < 4)
            return 0;
        const unsigned char lo = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b0 == 0xF4 ? 0x8F : 0xBF;
        if (p[1] < lo || p[1] > hi || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        cp = (char32_t{b0} & 0x07) << 18 | (char32_t{p[1]} & 0x3F) << 12 |
             (char32_t{p[2]} & 0x3F) << 6 | (char32_t{p[3]} & 0x3F);
        return 4;
    }
    return 0;
}

template <typename Map>
char32_t mapChar(char32_t c, Map map) {
    if (c < 0x80 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return c;
    const utf8proc_int32_t mapped = map(static_cast<utf8proc_int32_t>(c));
    return mapped < 0 ? c : static_cast<char32_t>(mapped);
}

} // namespace

bool isAscii(std::string_view bytes) {
    // Eight bytes at a time: names are short but this runs for every entry.
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0)
            return false;
    }
    for (const char ch : bytes.substr(i)) {
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    }
    return true;
}

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = sequenceAt(p + i, n - i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

bool decodeAppend(std::string_view bytes, std::u32string& out) {
    bool valid = true;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    const std::size_t start = out.size();
    out.resize(start + n); // never more characters than bytes
    char32_t* w = out.data() + start;
    while (i < n) {
        // Names are mostly ASCII: widen eight bytes at a time while they are.
        std::uint64_t word = 0;
        if (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & 0x8080808080808080ULL) == 0)) {
            for (int k = 0; k < 8; ++k)
                w[k] = p[i + static_cast<std::size_t>(k)];
            w += 8;
            i += 8;
            continue;
        }
        if (p[i] < 0x80) {
            *w++ = p[i];
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = sequenceAt(p + i, n - i, cp);
        if (len == 0) {
            *w++ = kInvalidByteBase + p[i];
            ++i;
            valid = false;
        } else {
            *w++ = cp;
            i += len;
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return valid;
}

std::u32string decode(std::string_view bytes) {
    std::u32string out;
    decodeAppend(bytes, out);
    return out;
}

void encodeAppend(std::u32string_view chars, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + chars.size() * 4); // at most four bytes a character
    char* w = out.data() + start;
    const auto put = [&w](char32_t byte) { *w++ = static_cast<char>(byte); };
    std::size_t i = 0;
    // Narrow eight ASCII characters at a time while there are.
    while (i + 8 <= chars.size()) {
        char32_t any = 0;
        for (std::size_t k = 0; k < 8; ++k)
            any |= chars[i + k];
        if (any >= 0x80)
            break;
        for (std::size_t k = 0; k < 8; ++k)
            w[k] = static_cast<char>(chars[i + k]);
        w += 8;
        i += 8;
    }
    for (const char32_t c : chars.substr(i)) {
        if (isInvalidByte(c))
            put(c - kInvalidByteBase);
        else
            w = putUtf8(c, w);
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

std::string encode(std::u32string_view chars) {
    std::string out;
    encodeAppend(chars, out);
    return out;
}

std::size_t charCount(std::string_view bytes) {
    if (isAscii(bytes))
        return bytes.size();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
        } else {
            char32_t cp = 0;
            const std::size_t len = sequenceAt(p + i, n - i, cp);
            i += len == 0 ? 1 : len;
        }
        ++count;
    }
    return count;
}

char32_t toLowerNonAscii(char32_t c) {
    return mapChar(c, utf8proc_tolower);
}

char32_t toUpperNonAscii(char32_t c) {
    return mapChar(c, utf8proc_toupper);
}

char32_t foldCase(char32_t c) {
    // Lower of upper folds the pairs that simple lower-casing alone misses
    // (final sigma, long s, the Kelvin sign).
    return toLower(toUpper(c));
}

void toLowerInPlace(std::u32string& chars) {
    for (char32_t& c : chars)
        c = toLower(c);
}

void toUpperInPlace(std::u32string& chars) {
    for (char32_t& c : chars)
        c = toUpper(c);
}

std::string toLower(std::string_view bytes) {
    std::u32string chars = decode(bytes);
    toLowerInPlace(chars);
    return encode(chars);
}

std::string toUpper(std::string_view bytes) {
    std::u32string chars = decode(bytes);
    toUpperInPlace(chars);
    return encode(chars);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (toLower(static_cast<char32_t>(a[i])) != toLower(static_cast<char32_t>(b[i])))
                return false;
        }
        return true;
    }
    const std::u32string ca = decode(a);
    const std::u32string cb = decode(b);
    if (ca.size() != cb.size())
        return false;
    for (std::size_t i = 0; i < ca.size(); ++i) {
        if (foldCase(ca[i]) != foldCase(cb[i]))
            return false;
    }
    return true;
}

std::int32_t atoiRule(std::string_view text) {
    std::size_t i = 0;
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{INT32_MAX} + 1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit; // saturate; further digits cannot bring it back
        ++i;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value);
}

} // namespace vantrel::text
