#pragma once

#include "filelist/FolderNames.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

/// The folder that holds entries: its absolute path and what the list shows of
/// it. Shared by every entry found in that folder.
struct EntryFolder {
    EntryFolder() = default;
    EntryFolder(std::string folderPath, std::string parentName, std::string sub)
        : path(std::move(folderPath)), parentFolderName(std::move(parentName)),
          subDir(std::move(sub)) {}

    std::string path;             ///< absolute path, without a trailing "/" except for "/"
    std::string parentFolderName; ///< last component of `path`; empty for "/"
    std::string subDir;           ///< path relative to the scan root ("Sub Dir.")
    /// Every name the folder held when the scan read it; unknown for
    /// entries that no scan found (and until the scan has read the folder).
    PublishedNames names;
};

/// Why an entry's new name cannot be had, as the collision check of the
/// preview found it. Only an entry the batch acts on can be in conflict.
enum class ConflictKind : std::uint8_t {
    None,
    SameNewName,    ///< another selected entry gets the same new full path
    KeptByEntry,    ///< a selected entry that keeps its name holds it
    HolderStuck,    ///< a selected entry holds it that would move away but cannot
    ExistingFile,   ///< an existing file (or link) that the batch does not move away
    ExistingFolder, ///< an existing folder that the batch does not move away
    ExistingEntry,  ///< an existing entry of a kind the listing did not tell
    OwnFolder,      ///< "." or "..": the folder itself or its parent
};

/// An entry's conflict: its kind and, for the kinds that name another
/// selected entry, that entry's index in the list (its row).
struct NameConflict {
    ConflictKind kind = ConflictKind::None;
    std::uint32_t other = 0;
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
    [[nodiscard]] bool isChanged() const { return changed_; }
    /// Whether the latest preview found that the new name cannot be had.
    [[nodiscard]] bool inConflict() const { return conflict_.kind != ConflictKind::None; }
    [[nodiscard]] const NameConflict& conflict() const { return conflict_; }
    /// Stores the collision check's finding; a new name clears it.
    void setConflict(NameConflict conflict) { conflict_ = conflict; }

    /// The containing folder's path; empty when the entry has no folder.
    [[nodiscard]] const std::string& containingFolder() const;
    [[nodiscard]] const std::string& parentFolderName() const;
    [[nodiscard]] const std::string& subDir() const;
    [[nodiscard]] const std::shared_ptr<const EntryFolder>& folder() const { return folder_; }
    /// The entry's own absolute path (its folder's path joined with its name).
    [[nodiscard]] std::string itemPath() const;

    /// Stores a proposed new name; length and validity follow it, and any
    /// conflict found for the previous one is cleared.
    void setNewName(std::string_view newName);
    /// Resets the proposed new name to the current name.
    void resetNewName();
    /// After a successful in-place rename: the current name becomes `name`
    /// (the folder's known names follow); the new name is left as it is.
    void setName(std::string name);
    /// As setName, except that the folder's known names are left to the
    /// caller, who brings them up to date later (a batch does so folder by
    /// folder, which keeps each folder's table in the cache). Returns the
    /// name it had.
    std::string setNameOnly(std::string name);

    std::string typeName;
    std::int64_t size = 0; ///< -1 for folders
    DateTime created;
    DateTime modified;
    DateTime accessed;
    bool hasDateTaken = false;
    DateTime dateTaken;
    /// The identity the folder's listing gave (see FolderListing::listedIdentity);
    /// unknown where it gives none.
    FileIdentity listedIdentity;

private:
    std::shared_ptr<const EntryFolder> folder_;
    std::string name_;
    std::string newName_;
    std::int32_t newNameLength_ = 0;
    bool isFolder_ = false;
    bool newNameInvalid_ = false;
    bool changed_ = false; ///< newName_ != name_, kept with both
    NameConflict conflict_;
};

/// Entries left where they were made (a scan's batches), and the list's order over them.
/// Moving it moves no entry, so the rows stay valid.
struct EntryRows {
    std::vector<std::vector<FileEntry>> batches; ///< owns the entries
    std::vector<FileEntry*> rows;                ///< every entry, in list order
};

} // namespace vantrel
