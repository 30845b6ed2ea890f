#include "filelist/WildcardMatch.h"

#include "text/Utf8Text.h"

#include <string>

namespace vantrel {

namespace {

/// One pass with a single back-up point at the last "*": linear for the usual
/// patterns, never worse than pattern length times name length.
template <typename Char>
bool matchChars(std::basic_string_view<Char> p, std::basic_string_view<Char> n) {
    std::size_t pi = 0;
    std::size_t ni = 0;
    while (ni < n.size() && (pi >= p.size() || p[pi] != Char('*'))) {
        if (pi >= p.size() || (p[pi] != n[ni] && p[pi] != Char('?')))
            return false;
        ++pi;
        ++ni;
    }
    std::size_t backPattern = 0;
    std::size_t backName = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == Char('*')) {
            if (++pi == p.size())
                return true;
            backPattern = pi;
            backName = ni + 1;
        } else if (pi < p.size() && (p[pi] == n[ni] || p[pi] == Char('?'))) {
            ++pi;
            ++ni;
        } else {
            pi = backPattern;
            ni = backName++;
        }
    }
    while (pi < p.size() && p[pi] == Char('*'))
        ++pi;
    return pi == p.size();
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // "?" stands for one character, not one byte, so text beyond ASCII is
    // matched as code points.
    if (text::isAscii(pattern) && text::isAscii(name))
        return matchChars(pattern, name);
    const std::u32string p = text::decode(pattern);
    const std::u32string n = text::decode(name);
    return matchChars(std::u32string_view(p), std::u32string_view(n));
}

} // namespace vantrel
