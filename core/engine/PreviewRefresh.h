#pragma once

#include "engine/Collisions.h"
#include "engine/Preferences.h"
#include "engine/RenameCriteria.h"
#include "filelist/FileEntry.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "status/StatusSink.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

/// The list as the preview sees it: its size, its selected entries in list
/// order, and the one way to store a new name.
class PreviewTarget {
public:
    virtual ~PreviewTarget() = default;
    [[nodiscard]] virtual std::size_t objectCount() const = 0;
    [[nodiscard]] virtual std::size_t selectedCount() const = 0;
    /// The i-th selected entry, counted from the top of the list.
    [[nodiscard]] virtual const FileEntry& selectedEntry(std::size_t i) const = 0;
    virtual void setNewName(std::size_t i, std::string_view newName) = 0;
    /// The collision check found the i-th selected entry in conflict;
    /// `other` is the selected entry its conflict names (i itself when none).
    virtual void setConflict(std::size_t i, ConflictKind kind, std::size_t other) = 0;
    /// The collision check is done (after every setConflict of the refresh).
    virtual void collisionsChecked(const CollisionSummary& summary) { (void)summary; }
    /// Whether selectedEntry and setNewName may be called from several
    /// threads at once for different entries, so that a big refresh can be
    /// shared among the processor's cores.
    [[nodiscard]] virtual bool concurrentWrites() const { return false; }
};

/// A target over a plain vector of entries and the indices of the selected
/// ones, in list order.
class EntryVectorTarget final : public PreviewTarget {
public:
    EntryVectorTarget(std::vector<FileEntry>& entries, std::vector<std::size_t> selected)
        : entries_(entries), selected_(std::move(selected)) {}
    /// Every entry selected.
    explicit EntryVectorTarget(std::vector<FileEntry>& entries);

    [[nodiscard]] std::size_t objectCount() const override { return entries_.size(); }
    [[nodiscard]] std::size_t selectedCount() const override { return selected_.size(); }
    [[nodiscard]] const FileEntry& selectedEntry(std::size_t i) const override {
        return entries_[selected_[i]];
    }
    void setNewName(std::size_t i, std::string_view newName) override {
        entries_[selected_[i]].setNewName(newName);
    }
    void setConflict(std::size_t i, ConflictKind kind, std::size_t other) override {
        entries_[selected_[i]].setConflict({kind, static_cast<std::uint32_t>(selected_[other])});
    }
    [[nodiscard]] bool concurrentWrites() const override { return true; }

private:
    std::vector<FileEntry>& entries_;
    std::vector<std::size_t> selected_;
};

/// A target over rows that point into entries kept elsewhere; every row is
/// selected, and a conflict names its other entry by row.
class EntryRowsTarget final : public PreviewTarget {
public:
    explicit EntryRowsTarget(const std::vector<FileEntry*>& rows) : rows_(rows) {}

    [[nodiscard]] std::size_t objectCount() const override { return rows_.size(); }
    [[nodiscard]] std::size_t selectedCount() const override { return rows_.size(); }
    [[nodiscard]] const FileEntry& selectedEntry(std::size_t i) const override { return *rows_[i]; }
    void setNewName(std::size_t i, std::string_view newName) override {
        rows_[i]->setNewName(newName);
    }
    void setConflict(std::size_t i, ConflictKind kind, std::size_t other) override {
        rows_[i]->setConflict({kind, static_cast<std::uint32_t>(other)});
    }
    [[nodiscard]] bool concurrentWrites() const override { return true; }

private:
    const std::vector<FileEntry*>& rows_;
};

inline constexpr std::string_view kRegexInvalidMessage = "Regular Expression is invalid";

/// What a refresh found besides the new names.
struct PreviewSummary {
    bool patternInvalid = false; ///< the regular expression did not compile
    CollisionSummary collisions;
};

/// Recomputes the new name of every selected entry from one capture of the
/// criteria: the pattern is compiled once, the counter runs from Start by
/// Incr. over the selected entries in list order, the date is chosen by the
/// Date "Type". Then the collision check tells the target which new names
/// cannot be had (a New Location's names are read through `fs`; without it
/// only in-place renames are checked). Sets the status message ("Regular
/// Expression is invalid", else "N new names collide" when some do, else
/// the empty text) and ends with the statistics. Never fails; running it
/// twice gives the same names. A big list whose target allows it is
/// computed in parts on several threads, each part with the counter values
/// its entries have in list order, so the result is the same as one pass.
PreviewSummary refreshPreview(const RenameCriteria& criteria, const Preferences& preferences,
                              PreviewTarget& target, StatusSink& status, const Clock& clock,
                              FileSystem* fs = nullptr);

/// The new names of the selected entries [first, last) alone, exactly as a
/// refresh gives them (each with the counter value of its place among the
/// selected), without the collision check or any status: what a window
/// shows at once while the whole refresh follows.
void previewPart(const RenameCriteria& criteria, const Preferences& preferences,
                 PreviewTarget& target, const Clock& clock, std::size_t first, std::size_t last);

} // namespace vantrel
