#pragma once

#include <string_view>

namespace vantrel {

/// Whether the whole name matches the whole pattern: "*" matches any run of
/// characters (none too), "?" exactly one character, anything else itself.
/// Characters are compared as they are (callers lower-case both for a match
/// without regard to case). An empty pattern matches only an empty name.
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace vantrel
