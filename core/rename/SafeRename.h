#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <string>

namespace vantrel {

/// Renames `from` to `to` without ever replacing another entry. When the
/// target "exists" only because it is the source itself under another
/// spelling (same device and inode, as a letter-case change on a
/// case-insensitive file system), the rename goes through a temporary name
/// in the target's folder, announced first through `onTemporary` (which may
/// refuse by failing). A second name of the same file (a hard link) is not
/// the source: that rename fails with EEXIST, and the source keeps its name.
[[nodiscard]] Result
renameWithoutReplacing(FileSystem& fs, const std::string& from, const std::string& to,
                       const std::function<Result(const std::string&)>& onTemporary = {});

/// Whether two paths name the same file (same device and inode).
[[nodiscard]] bool isSameFile(FileSystem& fs, const std::string& a, const std::string& b);

} // namespace vantrel
