#pragma once

#include "platform/FileSystem.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

/// A fast 64-bit hash of a name's bytes; the one the name sets and the
/// collision check share, so that a name is hashed once per refresh.
[[nodiscard]] std::uint64_t nameHash(std::string_view name);

/// Every name a folder held when it was read (listed or not, hidden ones
/// included), each with its kind as the listing told it, for finding out
/// without a system call whether a new name is taken. Letter case counts:
/// names match byte for byte.
class FolderNames {
public:
    /// Adds a name while the folder is being read; `kind` may be Unknown.
    void add(std::string_view name, FileKind kind);
    /// The kind of the name added `index`th (from 0), once it is known better.
    void setKind(std::size_t index, FileKind kind);
    /// Makes the names findable; called once the folder has been read.
    void seal();

    /// The kind of `name` (its `nameHash` is `hash`); null when the folder
    /// does not hold it. Only after `seal`.
    [[nodiscard]] const FileKind* find(std::string_view name, std::uint64_t hash) const;
    [[nodiscard]] const FileKind* find(std::string_view name) const {
        return find(name, nameHash(name));
    }
    /// False when no name with this hash is held; true says only "maybe".
    [[nodiscard]] bool mayHold(std::uint64_t hash) const;
    /// An entry of the folder was renamed in place: `from` is gone, `to` is held.
    void renamed(std::string_view from, std::string_view to);
    /// Entries of the folder were renamed in place, all together: every
    /// `from` is gone unless it is also a `to`, and every `to` is held, as
    /// after a swap or a chain however its steps went.
    void renamedTogether(const std::vector<std::pair<std::string_view, std::string_view>>& renames);
    [[nodiscard]] std::size_t size() const { return held_; }

private:
    struct Name {
        std::size_t offset = 0;
        std::uint32_t length = 0;
        FileKind kind = FileKind::Unknown;
        bool gone = false;
    };
    [[nodiscard]] std::string_view text(const Name& n) const {
        return std::string_view(text_).substr(n.offset, n.length);
    }
    [[nodiscard]] std::size_t slotOf(std::string_view name, std::uint64_t hash) const;
    void insert(std::size_t index, std::uint64_t hash);
    void grow();

    std::string text_;                   ///< every name, one after the other
    std::vector<Name> names_;            ///< in the order added
    std::vector<std::uint16_t> tags_;    ///< per slot: a part of the name's hash; 0 free
    std::vector<std::uint32_t> indices_; ///< per slot: the name's index in names_
    std::size_t held_ = 0;               ///< names not gone
};

/// A folder's names as the scan publishes them: empty until the folder has
/// been read to its end (a scan stopped or cut short publishes nothing), then
/// readable from any thread. Once published they change only through
/// `renamed`, on the list's thread, while no preview runs.
class PublishedNames {
public:
    PublishedNames() = default;
    /// A copy holds a copy of the names.
    PublishedNames(const PublishedNames& other);
    PublishedNames& operator=(const PublishedNames& other);
    ~PublishedNames();

    /// Publishes the sealed names; a second publication is ignored.
    void publish(std::unique_ptr<FolderNames> names) const;
    /// The names; null when they are not known.
    [[nodiscard]] const FolderNames* get() const { return names_.load(std::memory_order_acquire); }
    /// Keeps the names in step with an in-place rename in the folder.
    void renamed(std::string_view from, std::string_view to) const;
    /// Keeps the names in step with in-place renames done together (see
    /// FolderNames::renamedTogether).
    void renamedTogether(
        const std::vector<std::pair<std::string_view, std::string_view>>& renames) const;

private:
    mutable std::atomic<FolderNames*> names_{nullptr};
};

} // namespace vantrel
