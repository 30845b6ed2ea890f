#include "text/Utf8Text.h"

#include <gtest/gtest.h>

namespace vantrel::text {
namespace {

TEST(Utf8Text, EveryByteSequenceRoundTrips) {
    const std::string samples[] = {
        "plain",
        "caf\xC3\xA9",
        "\xF0\x9F\x98\x80 emoji",
        "\xFF\xFE lone",
        "\xC3",              // truncated sequence at the end
        "\xE2\x82",          // truncated three-byte sequence
        "\xC0\xAF",          // overlong slash
        "\xED\xA0\x80",      // encoded surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xC3\xA9\xC3(\xA9", // valid, invalid, valid ASCII, stray continuation
        std::string("nul\0in", 6),
    };
    for (const std::string& s : samples) {
        EXPECT_EQ(encode(decode(s)), s);
        EXPECT_EQ(charCount(s), decode(s).size());
    }
}

TEST(Utf8Text, InvalidBytesAreCharactersOfTheirOwn) {
    EXPECT_EQ(decode("\xC3\xA9"), U"\u00E9");
    EXPECT_EQ(decode("\xC3("), (std::u32string{0xDCC3, U'('}));
    EXPECT_EQ(decode("\xE2\x82"), (std::u32string{0xDCE2, 0xDC82}));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_EQ(charCount("\xF0\x9F\x98\x80"), 1u);
}

TEST(Utf8Text, CaseMappingIsSimpleAndLeavesInvalidBytes) {
    EXPECT_EQ(toUpper("àé ǆ \xFF"), "ÀÉ Ǆ \xFF"); // one code point to one
    EXPECT_EQ(toLower("ÀÉÎ ΣΑΣ"), "àéî σασ");
    EXPECT_TRUE(equalsIgnoreCase("Général", "GÉNÉRAL"));
    EXPECT_FALSE(equalsIgnoreCase("a", "ab"));
    EXPECT_TRUE(equalsIgnoreCase("σ", "ς"));
}

TEST(Utf8Text, AtoiRule) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0},
        {"x", 0},
        {"12abc", 12},
        {"  \t-5", -5},
        {"+7", 7},
        {"- 5", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-99999999999", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"\n3", 3},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(atoiRule(text), value) << '"' << text << '"';
}

} // namespace
} // namespace vantrel::text
