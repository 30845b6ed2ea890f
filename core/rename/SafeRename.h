#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <string>

namespace vantrel {

/// How a rename through a temporary name ended when it failed.
struct RenameTrace {
    /// Where the entry was left when the rename failed half way and putting
    /// it back failed too; empty when it is at its old name.
    std::string leftAt;
    /// Why putting it back failed (the system's text).
    std::string putBackMessage;
};

/// Renames `from` to `to` without ever replacing another entry. When the
/// target "exists" only because it is the source itself under another
/// spelling (one directory entry, as after a letter-case change on a
/// case-insensitive file system), the rename goes through a temporary name
/// in the target's folder, announced first through `onTemporary` (which may
/// refuse by failing). A second name of the same file (a hard link) is
/// another entry: that rename fails with EEXIST, and the source keeps its
/// name. Should the move on from the temporary name fail and putting it back
/// fail too, `trace` (when given) says where the entry was left.
[[nodiscard]] Result
renameWithoutReplacing(FileSystem& fs, const std::string& from, const std::string& to,
                       const std::function<Result(const std::string&)>& onTemporary = {},
                       RenameTrace* trace = nullptr);

/// Whether two paths name one directory entry: the same file, and not two
/// hard links of it. Where that cannot be told, false.
[[nodiscard]] bool isSameEntry(FileSystem& fs, const std::string& a, const std::string& b);

} // namespace vantrel
