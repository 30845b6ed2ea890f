#include "engine/PreviewRefresh.h"

#include "engine/NewNameEngine.h"
#include "engine/Numbering.h"
#include "text/Utf8Text.h"

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

} // namespace

void refreshPreview(const RenameCriteria& criteria, const Preferences& preferences,
                    PreviewTarget& target, StatusSink& status, const Clock& clock) {
    // The engine takes its own copy: the whole run sees one capture.
    NewNameEngine engine(criteria, preferences.ignoreFolderExtensions != 0);
    const std::int32_t step = text::atoiRule(criteria.numberIncrement);
    status.setStatusMessage(engine.patternInvalid() ? kRegexInvalidMessage : std::string_view{});

    const std::size_t count = target.selectedCount();
    if (count > 0) {
        const int base = numberBaseFromIndex(criteria.numberBase);
        const std::int32_t pad = text::atoiRule(criteria.numberPad);
        // The counter wraps like a signed 32-bit integer; unsigned arithmetic keeps that defined.
        auto counter = static_cast<std::uint32_t>(text::atoiRule(criteria.numberStart));
        const auto increment = static_cast<std::uint32_t>(step);
        std::string number;
        std::string newName;
        for (std::size_t i = 0; i < count; ++i) {
            const FileEntry& entry = target.selectedEntry(i);
            if (engine.usesNumber())
                number = formatNumber(static_cast<std::int32_t>(counter), base, pad);
            NameInputs in;
            in.name = entry.name();
            in.parentFolderName = entry.parentFolderName();
            in.isFolder = entry.isFolder();
            in.numberText = number;
            if (engine.usesDate())
                in.date = chooseDate(criteria.dateType, entry, clock);
            engine.computeNewName(in, newName);
            target.setNewName(i, newName);
            counter += increment;
        }
    }
    status.updateStatistics(target.objectCount(), count);
}

} // namespace vantrel
