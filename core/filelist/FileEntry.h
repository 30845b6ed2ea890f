#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

/// The folder that holds entries: its absolute path and what the list shows of
/// it. Shared by every entry found in that folder.
struct EntryFolder {
    std::string path;             ///< absolute path, without a trailing "/" except for "/"
    std::string parentFolderName; ///< last component of `path`; empty for "/"
    std::string subDir;           ///< path relative to the scan root ("Sub Dir.")
};

/// True when the text holds one of the nine characters that no new name may hold.
[[nodiscard]] bool hasInvalidNameChar(std::string_view name);

/// One row of the file list: what is known of a file or folder, and the new
/// name the engine proposes for it. `newName` changes only through `setNewName`,
/// which keeps `newNameLength` and `newNameInvalid` in step.
class FileEntry {
public:
    FileEntry() = default;
    FileEntry(std::shared_ptr<const EntryFolder> folder, std::string name, bool isFolder);

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const std::string& newName() const { return newName_; }
    [[nodiscard]] std::int32_t newNameLength() const { return newNameLength_; }
    [[nodiscard]] bool newNameInvalid() const { return newNameInvalid_; }
    [[nodiscard]] bool isFolder() const { return isFolder_; }
    /// Whether the proposed name differs from the current one, byte for byte.
    [[nodiscard]] bool isChanged() const { return newName_ != name_; }

    /// The containing folder's path; empty when the entry has no folder.
    [[nodiscard]] const std::string& containingFolder() const;
    [[nodiscard]] const std::string& parentFolderName() const;
    [[nodiscard]] const std::string& subDir() const;
    [[nodiscard]] const std::shared_ptr<const EntryFolder>& folder() const { return folder_; }
    /// The entry's own absolute path (its folder's path joined with its name).
    [[nodiscard]] std::string itemPath() const;

    /// Stores a proposed new name; length and validity follow it.
    void setNewName(std::string_view newName);
    /// Resets the proposed new name to the current name.
    void resetNewName();
    /// After a successful in-place rename: the current name becomes `name`;
    /// the new name is left as it is.
    void setName(std::string name);

    std::string typeName;
    std::int64_t size = 0; ///< -1 for folders
    DateTime created;
    DateTime modified;
    DateTime accessed;
    bool hasDateTaken = false;
    DateTime dateTaken;

private:
    std::shared_ptr<const EntryFolder> folder_;
    std::string name_;
    std::string newName_;
    std::int32_t newNameLength_ = 0;
    bool isFolder_ = false;
    bool newNameInvalid_ = false;
};

} // namespace vantrel
