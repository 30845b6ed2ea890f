#include "filelist/FileEntry.h"

#include "text/Utf8Text.h"

#include <array>
#include <limits>
#include <utility>

namespace vantrel {
namespace {

const std::string& emptyText() {
    static const std::string empty;
    return empty;
}

std::int32_t lengthOf(std::string_view text) {
    const std::size_t n = text::charCount(text);
    constexpr auto max = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(n > max ? max : n);
}

// The nine characters no new name may hold. All are ASCII, so a byte test
// cannot hit part of a multi-byte character.
constexpr auto kInvalidNameChars = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("\\/:*?\"<>|"))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

} // namespace

bool hasInvalidNameChar(std::string_view name) {
    for (const char c : name) {
        if (kInvalidNameChars[static_cast<unsigned char>(c)])
            return true;
    }
    return false;
}

FileEntry::FileEntry(std::shared_ptr<const EntryFolder> folder, std::string name, bool isFolder)
    : size(isFolder ? -1 : 0), folder_(std::move(folder)), name_(std::move(name)),
      isFolder_(isFolder) {
    resetNewName();
}

const std::string& FileEntry::containingFolder() const {
    return folder_ ? folder_->path : emptyText();
}

const std::string& FileEntry::parentFolderName() const {
    return folder_ ? folder_->parentFolderName : emptyText();
}

const std::string& FileEntry::subDir() const {
    return folder_ ? folder_->subDir : emptyText();
}

std::string FileEntry::itemPath() const {
    return joinPathOrName(containingFolder(), name_);
}

void FileEntry::setNewName(std::string_view newName) {
    conflict_ = {};
    // The same name as the previous preview gave (the common case while a
    // criterion is edited): its length and validity stand.
    if (newName == newName_ && !newName_.empty())
        return;
    newName_.assign(newName); // reuses the buffer of the previous preview
    newNameLength_ = lengthOf(newName_);
    newNameInvalid_ = hasInvalidNameChar(newName_);
    changed_ = newName_ != name_;
}

void FileEntry::resetNewName() {
    setNewName(name_);
}

void FileEntry::setName(std::string name) {
    if (folder_)
        folder_->names.renamed(name_, name);
    (void)setNameOnly(std::move(name));
}

std::string FileEntry::setNameOnly(std::string name) {
    std::string old = std::exchange(name_, std::move(name));
    changed_ = newName_ != name_;
    return old;
}

} // namespace vantrel
