#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Character-level building blocks of the new-name pipeline. They work on
// decoded characters (see text/Utf8Text.h), so positions and lengths count
// characters, never bytes.

/// Splits the name held in `base` at its last "." : the extension (dot
/// included) moves to `extension`, `base` keeps the rest. A folder whose
/// extensions are ignored keeps its whole name as base.
void splitName(std::u32string& base, bool isFolder, bool ignoreFolderExtensions,
               std::u32string& extension);

/// Replaces every occurrence of `find`, left to right and without overlaps;
/// inserted text is never searched again. Without exact case, letters are
/// compared in lower case while `replacement` is inserted as given. An empty
/// `find` or `source` leaves the source unchanged.
void replaceAll(std::u32string& source, std::u32string_view find, std::u32string_view replacement,
                bool exactCase);

/// replaceAll for a `find` that is already in lower case when the match
/// ignores case, so that callers replacing in many names lower it once.
void replaceAllPrepared(std::u32string& source, std::u32string_view find,
                        std::u32string_view replacement, bool exactCase);

/// Upper-cases the first character and every character after a line feed,
/// tab, space, "(", ")", ".", "{" or "["; lower-cases all others.
void titleCase(std::u32string& text);

/// Cuts `text` at every occurrence of `delimiter` (a comma when empty). Empty
/// pieces between delimiters are kept only when asked; a trailing empty piece never is.
[[nodiscard]] std::vector<std::u32string> splitWords(std::u32string_view text,
                                                     std::u32string_view delimiter, bool keepEmpty);

/// Removes every non-overlapping occurrence of `word` in one left-to-right pass.
void removeWord(std::u32string& text, std::u32string_view word);

/// The characters removed by the Symbols box.
[[nodiscard]] bool isSymbolChar(char32_t c);

/// Inserts `insert` so that `position` characters stay in front of it; a
/// position at or past the end appends, a negative one counts as 0.
void insertAt(std::u32string& text, long long position, std::u32string_view insert);

} // namespace vantrel
