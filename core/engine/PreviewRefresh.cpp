#include "engine/PreviewRefresh.h"

#include "engine/NewNameEngine.h"
#include "engine/Numbering.h"
#include "text/Utf8Text.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace vantrel {

EntryVectorTarget::EntryVectorTarget(std::vector<FileEntry>& entries) : entries_(entries) {
    selected_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        selected_.push_back(i);
}

namespace {

DateTime chooseDate(int dateType, const FileEntry& entry, const Clock& clock) {
    switch (dateType) {
    case kDateCreation:
        return entry.created;
    case kDateModified:
        return entry.modified;
    case kDateAccessed:
        return entry.accessed;
    case kDateTaken:
        return entry.hasDateTaken ? entry.dateTaken : DateTime{};
    case kDateCurrent:
        return clock.nowLocal();
    default:
        return clock.nowUtc();
    }
}

/// What one pass over a range of the selected entries needs.
struct PreviewPass {
    const RenameCriteria& criteria;
    PreviewTarget& target;
    const Clock& clock;
    CollisionCheck* collisions; ///< none for a part shown ahead of its refresh
    int base;
    std::int32_t pad;
    std::uint32_t start;
    std::uint32_t increment;
};

/// Computes entries [first, last): entry i gets the counter value
/// start + i * increment, wrapping like a signed 32-bit integer (unsigned
/// arithmetic keeps that defined), as a pass from the top would give it.
void previewRange(const PreviewPass& pass, NewNameEngine& engine, std::size_t first,
                  std::size_t last) {
    auto counter = pass.start + static_cast<std::uint32_t>(first) * pass.increment;
    std::string number;
    std::string newName;
    CollisionCheck::Cursor cursor;
    for (std::size_t i = first; i < last; ++i) {
        const FileEntry& entry = pass.target.selectedEntry(i);
        if (engine.usesNumber())
            number = formatNumber(static_cast<std::int32_t>(counter), pass.base, pass.pad);
        NameInputs in;
        in.name = entry.name();
        in.parentFolderName = entry.parentFolderName();
        in.isFolder = entry.isFolder();
        in.numberText = number;
        if (engine.usesDate())
            in.date = chooseDate(pass.criteria.dateType, entry, pass.clock);
        engine.computeNewName(in, newName);
        pass.target.setNewName(i, newName);
        if (pass.collisions != nullptr)
            pass.collisions->note(i, entry, cursor);
        counter += pass.increment;
    }
    if (pass.collisions != nullptr)
        pass.collisions->lookUp(cursor, last, pass.target);
}

/// The pass of `criteria` over `target`, the counter's settings read once.
PreviewPass makePass(const RenameCriteria& criteria, PreviewTarget& target, const Clock& clock,
                     CollisionCheck* collisions) {
    return PreviewPass{criteria,
                       target,
                       clock,
                       collisions,
                       numberBaseFromIndex(criteria.numberBase),
                       text::atoiRule(criteria.numberPad),
                       static_cast<std::uint32_t>(text::atoiRule(criteria.numberStart)),
                       static_cast<std::uint32_t>(text::atoiRule(criteria.numberIncrement))};
}

/// Into how many parts a refresh of `count` entries is shared: below some
/// tens of thousands a thread costs more than it saves.
std::size_t partsFor(std::size_t count) {
    constexpr std::size_t kEntriesPerPart = 25'000;
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>(count / kEntriesPerPart, 1, std::min<std::size_t>(cores, 8));
}

} // namespace

void previewPart(const RenameCriteria& criteria, const Preferences& preferences,
                 PreviewTarget& target, const Clock& clock, std::size_t first, std::size_t last) {
    last = std::min(last, target.selectedCount());
    if (first >= last)
        return;
    NewNameEngine engine(criteria, preferences.ignoreFolderExtensions != 0);
    previewRange(makePass(criteria, target, clock, nullptr), engine, first, last);
}

PreviewSummary refreshPreview(const RenameCriteria& criteria, const Preferences& preferences,
                              PreviewTarget& target, StatusSink& status, const Clock& clock,
                              FileSystem* fs) {
    // The engine takes its own copy: the whole run sees one capture.
    const bool ignoreExtensions = preferences.ignoreFolderExtensions != 0;
    NewNameEngine engine(criteria, ignoreExtensions);
    PreviewSummary summary;
    summary.patternInvalid = engine.patternInvalid();

    const std::size_t count = target.selectedCount();
    if (count > 0) {
        CollisionCheck collisions(criteria, preferences, fs, count);
        const PreviewPass pass = makePass(criteria, target, clock, &collisions);
        const std::size_t parts = target.concurrentWrites() ? partsFor(count) : 1;
        std::vector<std::thread> helpers;
        std::vector<std::size_t> bounds{0};
        for (std::size_t p = 1; p <= parts; ++p)
            bounds.push_back(count * p / parts);
        for (std::size_t p = 1; p < parts; ++p) {
            try {
                helpers.emplace_back([&pass, &criteria, ignoreExtensions, &bounds, p] {
                    NewNameEngine own(criteria, ignoreExtensions);
                    previewRange(pass, own, bounds[p], bounds[p + 1]);
                });
            } catch (const std::system_error&) {
                // No thread to spare: this part is done here instead.
                NewNameEngine own(criteria, ignoreExtensions);
                previewRange(pass, own, bounds[p], bounds[p + 1]);
            }
        }
        previewRange(pass, engine, bounds[0], bounds[1]);
        for (std::thread& helper : helpers)
            helper.join();
        summary.collisions = collisions.finish(target);
    } else {
        target.collisionsChecked(summary.collisions);
    }
    if (summary.patternInvalid)
        status.setStatusMessage(kRegexInvalidMessage);
    else if (summary.collisions.conflicts > 0)
        status.setStatusMessage(collisionCountText(summary.collisions.conflicts));
    else
        status.setStatusMessage({});
    status.updateStatistics(target.objectCount(), count);
    return summary;
}

} // namespace vantrel
