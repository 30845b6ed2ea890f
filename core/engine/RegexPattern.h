#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

namespace vantrel {

/// A compiled Reg. Expr. pattern with room for the whole match and nine groups.
///
/// Names are matched in UTF mode; a name that is not valid UTF-8 (which UTF
/// mode cannot match at all) is matched by the same pattern compiled a second
/// time in byte mode, compiled on first need. Not thread-safe: match data is reused.
class RegexPattern {
public:
    /// Compiles the pattern; `isValid()` tells whether it compiled.
    /// A clear `matchCase` matches without regard to case.
    RegexPattern(std::string_view pattern, bool matchCase);
    ~RegexPattern();
    RegexPattern(const RegexPattern&) = delete;
    RegexPattern& operator=(const RegexPattern&) = delete;

    [[nodiscard]] bool isValid() const { return utf_ != nullptr || bytes_ != nullptr; }

    /// Matches the whole subject from offset 0. Returns a negative value when
    /// nothing matched, 0 when more groups matched than there is room for, or
    /// one more than the highest group that took part.
    /// `validUtf8` tells whether the subject is well-formed UTF-8 (the
    /// caller has just decoded it, so it is not checked again here).
    int match(std::string_view subject, bool validUtf8);

    /// Appends the text of group `g` of the last successful match; a group that
    /// took no part gives nothing.
    void appendGroup(int g, std::string& out) const;

private:
    bool compileBytes();

    std::string pattern_;
    std::uint32_t options_ = 0;
    pcre2_real_code_8* utf_ = nullptr;
    pcre2_real_code_8* bytes_ = nullptr;
    bool bytesTried_ = false;
    pcre2_real_match_data_8* matchData_ = nullptr;
    std::string_view lastSubject_;
    int lastResult_ = -1;
};

} // namespace vantrel
