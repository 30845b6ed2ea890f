#include "engine/NameSteps.h"

#include "text/Utf8Text.h"

#include <algorithm>
#include <array>

namespace vantrel {

void splitName(std::u32string& base, bool isFolder, bool ignoreFolderExtensions,
               std::u32string& extension) {
    extension.clear();
    const std::size_t dot =
        (isFolder && ignoreFolderExtensions) ? std::u32string::npos : base.rfind(U'.');
    if (dot == std::u32string::npos)
        return;
    extension.assign(base, dot);
    base.resize(dot);
}

namespace {

// Compares `work` at `pos` with `find`, lower-casing `work` on the fly when
// the match ignores case (`find` is then already lower case).
bool matchesAt(std::u32string_view work, std::size_t pos, std::u32string_view find,
               bool exactCase) {
    if (pos + find.size() > work.size())
        return false;
    for (std::size_t i = 0; i < find.size(); ++i) {
        const char32_t c = exactCase ? work[pos + i] : text::toLower(work[pos + i]);
        if (c != find[i])
            return false;
    }
    return true;
}

} // namespace

void replaceAll(std::u32string& source, std::u32string_view find, std::u32string_view replacement,
                bool exactCase) {
    if (exactCase || source.empty() || find.empty()) {
        replaceAllPrepared(source, find, replacement, exactCase);
        return;
    }
    std::u32string lowered(find);
    text::toLowerInPlace(lowered);
    replaceAllPrepared(source, lowered, replacement, false);
}

void replaceAllPrepared(std::u32string& source, std::u32string_view find,
                        std::u32string_view replacement, bool exactCase) {
    if (source.empty() || find.empty())
        return;
    // Scratch kept per thread: this runs for every entry of a preview.
    thread_local std::u32string result;
    // Lower-casing maps one character to one, so positions in the lowered
    // work text and in the result coincide; one scan does both.
    const char32_t first = find.front();
    const std::size_t last = source.size() < find.size() ? 0 : source.size() - find.size() + 1;
    std::size_t copied = 0; // source characters up to here are in the result
    bool any = false;
    for (std::size_t pos = 0; pos < last;) {
        const char32_t c = exactCase ? source[pos] : text::toLower(source[pos]);
        if (c != first || !matchesAt(source, pos, find, exactCase)) {
            ++pos;
            continue;
        }
        if (!any) {
            result.clear();
            any = true;
        }
        result.append(source, copied, pos - copied);
        result.append(replacement);
        pos += find.size();
        copied = pos;
    }
    if (!any)
        return;
    result.append(source, copied);
    source.swap(result);
}

void titleCase(std::u32string& text) {
    if (text.empty())
        return;
    if (text.size() == 1) {
        text[0] = text::toUpper(text[0]);
        return;
    }
    static constexpr auto kSeparator = [] {
        std::array<bool, 0x80> table{};
        for (const char c : std::string_view("\n\t ().{["))
            table[static_cast<unsigned char>(c)] = true;
        return table;
    }();
    bool afterSeparator = true; // the first character is upper-cased
    for (char32_t& c : text) {
        c = afterSeparator ? text::toUpper(c) : text::toLower(c);
        afterSeparator = c < 0x80 && kSeparator[c];
    }
}

std::vector<std::u32string> splitWords(std::u32string_view text, std::u32string_view delimiter,
                                       bool keepEmpty) {
    if (delimiter.empty())
        delimiter = U",";
    std::vector<std::u32string> pieces;
    std::size_t at = text.find(delimiter);
    while (at != std::u32string_view::npos) {
        if (at > 0 || keepEmpty)
            pieces.emplace_back(text.substr(0, at));
        text.remove_prefix(at + delimiter.size());
        at = text.find(delimiter);
    }
    if (!text.empty())
        pieces.emplace_back(text);
    return pieces;
}

void removeWord(std::u32string& text, std::u32string_view word) {
    if (word.empty() || text.size() < word.size())
        return;
    std::size_t at = text.find(word);
    if (at == std::u32string::npos)
        return;
    std::size_t out = at;
    std::size_t in = at;
    while (in < text.size()) {
        if (text.compare(in, word.size(), word) == 0) {
            in += word.size();
        } else {
            text[out++] = text[in++];
        }
    }
    text.resize(out);
}

namespace {

struct SymbolTable {
    bool ascii[128] = {};
    constexpr SymbolTable() {
        for (const char c : std::string_view("!$%^&*()-_=+[]{};:'@#~,.<>/?\\|`"))
            ascii[static_cast<unsigned char>(c)] = true;
    }
};
constexpr SymbolTable kSymbols;

} // namespace

bool isSymbolChar(char32_t c) {
    // 31 ASCII symbols plus the pound sign, the not sign and the broken bar.
    if (c < 128)
        return kSymbols.ascii[c];
    return c == U'\u00A3' || c == U'\u00AC' || c == U'\u00A6';
}

void insertAt(std::u32string& text, long long position, std::u32string_view insert) {
    const auto size = static_cast<long long>(text.size());
    const long long at = std::clamp(position, 0LL, size);
    text.insert(static_cast<std::size_t>(at), insert);
}

} // namespace vantrel
