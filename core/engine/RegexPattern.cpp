#include "engine/RegexPattern.h"

#include "text/Utf8Text.h"

#include <pcre2.h>

namespace vantrel {
namespace {

constexpr std::uint32_t kPairs = 10; // the whole match and nine groups

pcre2_code* compileWith(std::string_view pattern, std::uint32_t options) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error, &offset, nullptr);
    if (code != nullptr)
        (void)pcre2_jit_compile(code, PCRE2_JIT_COMPLETE); // the interpreter serves without JIT
    return code;
}

} // namespace

RegexPattern::RegexPattern(std::string_view pattern, bool matchCase) : pattern_(pattern) {
    options_ = matchCase ? 0 : PCRE2_CASELESS;
    utf_ = compileWith(pattern_, options_ | PCRE2_UTF);
    if (utf_ == nullptr) {
        // A pattern that is itself not valid UTF-8 can still be a valid byte pattern.
        if (!text::isValidUtf8(pattern_))
            compileBytes();
    }
    if (isValid())
        matchData_ = pcre2_match_data_create(kPairs, nullptr);
    if (matchData_ == nullptr) {
        pcre2_code_free(utf_);
        pcre2_code_free(bytes_);
        utf_ = bytes_ = nullptr;
    }
}

RegexPattern::~RegexPattern() {
    pcre2_match_data_free(matchData_);
    pcre2_code_free(utf_);
    pcre2_code_free(bytes_);
}

bool RegexPattern::compileBytes() {
    if (!bytesTried_) {
        bytesTried_ = true;
        bytes_ = compileWith(pattern_, options_);
    }
    return bytes_ != nullptr;
}

int RegexPattern::match(std::string_view subject, bool validUtf8) {
    lastResult_ = -1;
    lastSubject_ = subject;
    if (!isValid())
        return lastResult_;
    const pcre2_code* code = nullptr;
    std::uint32_t options = 0;
    if (utf_ != nullptr && validUtf8) {
        code = utf_;
        options = PCRE2_NO_UTF_CHECK; // checked just above
    } else if (compileBytes()) {
        code = bytes_;
    } else {
        return lastResult_;
    }
    lastResult_ = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0,
                              options, matchData_, nullptr);
    return lastResult_;
}

void RegexPattern::appendGroup(int g, std::string& out) const {
    if (lastResult_ < 0 || g < 0 || static_cast<std::uint32_t>(g) >= kPairs)
        return;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData_);
    const PCRE2_SIZE start = ovector[2 * g];
    const PCRE2_SIZE end = ovector[2 * g + 1];
    if (start == PCRE2_UNSET || end == PCRE2_UNSET || start > end || end > lastSubject_.size())
        return;
    out.append(lastSubject_.substr(start, end - start));
}

} // namespace vantrel
