#include "rename/UndoLog.h"

#include "rename/SafeRename.h"

namespace vantrel {

namespace {

bool exists(FileSystem& fs, const std::string& path) {
    FileAttributes attributes;
    return !path.empty() && fs.attributes(path, attributes).ok();
}

} // namespace

UndoOutcome undoRename(UndoLog& log, FileSystem& fs, StatusSink& status) {
    UndoOutcome outcome;
    const std::vector<UndoPair>& pairs = log.pairs();
    std::int32_t attempted = 0;
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        const UndoPair& pair = *it;
        std::string from = pair.newPath;
        if (!pair.confirmed) {
            // An interrupted batch: reverse only what the disk shows happened.
            const bool atNew = exists(fs, pair.newPath);
            const bool atOld = exists(fs, pair.oldPath);
            if (!atNew && !atOld && exists(fs, pair.temporaryPath))
                from = pair.temporaryPath; // stopped half way through a temporary name
            else if (!atNew || atOld)
                continue; // it never happened
        }
        ++attempted;
        const Result r = renameWithoutReplacing(fs, from, pair.oldPath);
        if (r)
            ++outcome.reversed;
        else
            outcome.failures.push_back({from, pair.oldPath, r.error().message});
    }
    log.clear();
    if (outcome.failures.empty())
        status.setStatusMessage(std::string(kUndoDoneMessage));
    else
        status.setStatusMessage(std::to_string(outcome.failures.size()) + " of " +
                                std::to_string(attempted) + " changes could not be reversed.");
    return outcome;
}

} // namespace vantrel
