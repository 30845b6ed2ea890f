#pragma once

#include <string>
#include <string_view>

namespace vantrel::gui {

/// `path` with repeated "/", "." and ".." resolved as text and no trailing "/"
/// ("/" stays "/"; ".." above the root stays at the root); a relative path
/// stays relative. Symbolic links are not looked at. Never fails.
[[nodiscard]] std::string normalisePath(std::string_view path);

/// Whether `prefix` names `path` itself or one of its ancestors, component by
/// component and byte for byte (file names are case-sensitive here). Both
/// paths are normalised and absolute.
[[nodiscard]] bool isPathPrefix(std::string_view prefix, std::string_view path);

/// The folder holding `path` ("/" for "/" and for the children of "/").
[[nodiscard]] std::string parentPath(std::string_view path);

/// The path one component below `ancestor` on the way down to `path`; needs
/// isPathPrefix(ancestor, path) and ancestor != path.
[[nodiscard]] std::string nextOnTheWay(std::string_view ancestor, std::string_view path);

} // namespace vantrel::gui
