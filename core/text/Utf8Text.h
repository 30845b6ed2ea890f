#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::text {

// Names are bytes. A character is one code point of the UTF-8 text; every byte
// of an invalid sequence is a character of its own, held as the lone surrogate
// U+DC00 + byte so that it is written back unchanged.

inline constexpr char32_t kInvalidByteBase = 0xDC00;

/// Whether the code point stands for an invalid byte of the original text.
constexpr bool isInvalidByte(char32_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

/// Whether every byte is below 0x80 (then bytes and characters coincide).
[[nodiscard]] bool isAscii(std::string_view bytes);

/// Whether the bytes are well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

/// Decodes bytes into characters, appending to `out`. Never fails; returns
/// whether the bytes were well-formed UTF-8.
bool decodeAppend(std::string_view bytes, std::u32string& out);
[[nodiscard]] std::u32string decode(std::string_view bytes);

/// Writes the UTF-8 form of any code point up to U+10FFFF (surrogates too,
/// in the three-byte form) at `out`; returns the end. Up to four bytes.
inline char* putUtf8(char32_t c, char* out) {
    const auto put = [&out](char32_t byte) { *out++ = static_cast<char>(byte); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | ((c >> 18) & 0x07));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
    return out;
}

/// Encodes characters back into bytes, appending to `out`; the inverse of decode.
void encodeAppend(std::u32string_view chars, std::string& out);
[[nodiscard]] std::string encode(std::u32string_view chars);

/// Number of characters in the bytes.
[[nodiscard]] std::size_t charCount(std::string_view bytes);

char32_t toLowerNonAscii(char32_t c);
char32_t toUpperNonAscii(char32_t c);

/// Simple one-to-one case mappings; invalid bytes are left as they are.
/// ASCII is mapped inline: names are mostly ASCII and this runs per character.
[[nodiscard]] inline char32_t toLower(char32_t c) {
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return toLowerNonAscii(c);
}
[[nodiscard]] inline char32_t toUpper(char32_t c) {
    if (c < 0x80)
        return (c >= U'a' && c <= U'z') ? c - 32 : c;
    return toUpperNonAscii(c);
}
/// Simple case folding, for comparisons without regard to case.
[[nodiscard]] char32_t foldCase(char32_t c);

void toLowerInPlace(std::u32string& chars);
void toUpperInPlace(std::u32string& chars);
[[nodiscard]] std::string toLower(std::string_view bytes);
[[nodiscard]] std::string toUpper(std::string_view bytes);

/// Whether two texts are equal without regard to case (simple case folding).
[[nodiscard]] bool equalsIgnoreCase(std::string_view a, std::string_view b);

/// The `atoi` rule used by every integer text box and favourites number:
/// leading white space skipped, an optional sign, then decimal digits up to the
/// first other character; no digits give 0. Values beyond the 32-bit range
/// saturate instead of overflowing.
[[nodiscard]] std::int32_t atoiRule(std::string_view text);

} // namespace vantrel::text
