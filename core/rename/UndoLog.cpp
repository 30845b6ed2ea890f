#include "rename/UndoLog.h"

#include "rename/SafeRename.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace vantrel {

namespace {

/// Where the paths of a pair lie now. A pair's paths are those of the
/// moment it was renamed, after every older rename of the batch; when an
/// undo was cut short after it had moved a renamed folder back, the paths
/// of what lies inside that folder are carried along to its old name.
class Locator {
public:
    /// `items`: per pair, the first pair of the item it is a step of.
    Locator(FileSystem& fs, const std::vector<UndoPair>& pairs,
            const std::vector<std::size_t>& items)
        : fs_(fs), pairs_(pairs), items_(items) {
        // The pairs whose new path is a folder of a later pair's path, found
        // by looking each prefix up once.
        std::unordered_map<std::string_view, std::size_t> byNewPath;
        for (std::size_t j = 0; j < pairs_.size(); ++j) {
            const std::string_view path = pairs_[j].oldPath;
            for (std::size_t slash = path.find('/', 1); slash != std::string_view::npos;
                 slash = path.find('/', slash + 1)) {
                const auto it = byNewPath.find(path.substr(0, slash));
                if (it != byNewPath.end())
                    containers_.push_back(it->second);
            }
            byNewPath[pairs_[j].newPath] = j;
        }
        std::sort(containers_.begin(), containers_.end());
        containers_.erase(std::unique(containers_.begin(), containers_.end()), containers_.end());
    }

    /// `path`, written at the time of pair `k`, as it lies now.
    std::string now(std::size_t k, const std::string& path) {
        if (path.empty())
            return path;
        // The latest folder renamed before k that holds the path decides.
        for (auto it = std::lower_bound(containers_.begin(), containers_.end(), k);
             it != containers_.begin();) {
            const std::size_t i = *--it;
            const std::string& folder = pairs_[i].newPath;
            if (path.size() > folder.size() && path.starts_with(folder) &&
                path[folder.size()] == '/') {
                return placeOf(i) + path.substr(folder.size());
            }
        }
        return path;
    }

    /// The pair with its paths as they lie now.
    UndoPair current(std::size_t k) {
        UndoPair pair = pairs_[k];
        pair.oldPath = now(k, pair.oldPath);
        pair.newPath = now(k, pair.newPath);
        pair.temporaryPath = now(k, pair.temporaryPath);
        return pair;
    }

private:
    bool holds(const std::string& path, const FileIdentity& identity) {
        FileAttributes attributes;
        return fs_.attributes(path, attributes).ok() && attributes.identity == identity;
    }

    /// Where container `i` is now: at its new path, back at its old one,
    /// or (a folder moved in steps) back where its first step began. Asked
    /// before the undo reaches it, so the answer stays right for the pairs
    /// inside it.
    const std::string& placeOf(std::size_t i) {
        const auto it = places_.find(i);
        if (it != places_.end())
            return it->second;
        const FileIdentity& identity = pairs_[i].identity;
        std::string place = now(i, pairs_[i].newPath);
        if (identity.known() && !holds(place, identity)) {
            const std::string old = now(i, pairs_[i].oldPath);
            const std::size_t first = items_[i];
            if (holds(old, identity))
                place = old;
            else if (first != i && holds(now(first, pairs_[first].oldPath), identity))
                place = now(first, pairs_[first].oldPath);
        }
        return places_.emplace(i, std::move(place)).first->second;
    }

    FileSystem& fs_;
    const std::vector<UndoPair>& pairs_;
    const std::vector<std::size_t>& items_;
    std::vector<std::size_t> containers_;
    std::unordered_map<std::size_t, std::string> places_;
};

/// One pair's reversal.
class Settler {
public:
    /// `origin`: where the item's first step took it from, when this pair
    /// is a later step of it (else empty).
    Settler(FileSystem& fs, const UndoPair& pair, std::string origin = {})
        : fs_(fs), pair_(pair), origin_(std::move(origin)) {}

    enum class End { Reversed, AlreadyBack, Failed };

    End settle(const std::function<Result(const std::string&)>& onTemporary) {
        const std::string* from = where();
        if (from == nullptr)
            return failure_.message.empty() ? End::AlreadyBack : End::Failed;
        RenameTrace trace;
        const Result r = renameWithoutReplacing(fs_, *from, pair_.oldPath, onTemporary, &trace);
        if (r)
            return End::Reversed;
        failure_ = {*from, pair_.oldPath, r.error().message};
        if (!trace.leftAt.empty())
            failure_.message += "; it was left at '" + trace.leftAt + "': " + trace.putBackMessage;
        return End::Failed;
    }

    [[nodiscard]] const UndoFailure& failure() const { return failure_; }

private:
    /// Whether the entry at `path` is the one the pair renamed; an unknown
    /// identity accepts any entry.
    bool holdsEntry(const std::string& path) {
        FileAttributes attributes;
        if (path.empty() || !fs_.attributes(path, attributes).ok())
            return false;
        return !pair_.identity.known() || attributes.identity == pair_.identity;
    }

    /// Where the entry is to be moved back from; null when it is back at its
    /// old name already (failure_ empty) or cannot be found (failure_ set).
    const std::string* where() {
        if (!pair_.identity.known())
            return whereByPresence();
        // A temporary name first: the entry may have been left there, while
        // its new name is taken by another name of the same file.
        if (!pair_.temporaryPath.empty() && holdsEntry(pair_.temporaryPath))
            return &pair_.temporaryPath;
        if (holdsEntry(pair_.newPath)) {
            // Two names of one file (hard links): the one at the old name is
            // it, and the new name was never the batch's.
            if (holdsEntry(pair_.oldPath) && !isSameEntry(fs_, pair_.newPath, pair_.oldPath))
                return nullptr;
            return &pair_.newPath;
        }
        if (holdsEntry(pair_.oldPath))
            return nullptr;
        // An item moved in steps that an undo cut short had taken back
        // further, to where its first step began.
        if (!origin_.empty() && holdsEntry(origin_))
            return nullptr;
        FileAttributes attributes;
        const Result atNew = fs_.attributes(pair_.newPath, attributes);
        failure_ = {pair_.newPath, pair_.oldPath,
                    atNew ? "another entry is there now; the renamed one was not found"
                          : atNew.error().message};
        return nullptr;
    }

    /// For pairs without an identity: what the disk shows by names alone.
    const std::string* whereByPresence() {
        if (pair_.confirmed)
            return &pair_.newPath;
        FileAttributes attributes;
        const bool atNew = fs_.attributes(pair_.newPath, attributes).ok();
        const bool atOld = fs_.attributes(pair_.oldPath, attributes).ok();
        if (!atNew && !atOld && holdsEntry(pair_.temporaryPath))
            return &pair_.temporaryPath;
        return atNew && !atOld ? &pair_.newPath : nullptr;
    }

    FileSystem& fs_;
    const UndoPair& pair_;
    std::string origin_;
    UndoFailure failure_;
};

} // namespace

namespace {

/// Per pair, the first pair of the item it belongs to: an item moved in
/// steps (out of the way to a temporary name, then on) has a pair per step,
/// each taking it from where the one before left it. Counts are of items.
std::vector<std::size_t> itemsOf(const std::vector<UndoPair>& pairs) {
    std::vector<std::size_t> item(pairs.size());
    std::unordered_map<std::string_view, std::size_t> endsAt;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        item[k] = k;
        const auto it = endsAt.find(pairs[k].oldPath);
        if (it != endsAt.end() && pairs[it->second].identity.known() &&
            pairs[it->second].identity == pairs[k].identity) {
            item[k] = item[it->second];
            endsAt.erase(it);
        }
        endsAt[pairs[k].newPath] = k;
    }
    return item;
}

} // namespace

UndoOutcome undoRename(UndoLog& log, FileSystem& fs, StatusSink& status,
                       const std::function<Result(std::size_t, const std::string&)>& onTemporary) {
    UndoOutcome outcome;
    const std::vector<UndoPair>& pairs = log.pairs();
    const std::vector<std::size_t> item = itemsOf(pairs);
    enum : std::uint8_t { kBack = 1, kReversed = 2, kFailed = 4 };
    std::vector<std::uint8_t> ends(pairs.size(), 0);
    Locator locator(fs, pairs, item);
    for (std::size_t k = pairs.size(); k-- > 0;) {
        const UndoPair pair = locator.current(k);
        Settler settler(
            fs, pair, item[k] == k ? std::string() : locator.now(item[k], pairs[item[k]].oldPath));
        std::function<Result(const std::string&)> announce;
        if (onTemporary)
            announce = [&onTemporary, k](const std::string& temporary) {
                return onTemporary(k, temporary);
            };
        switch (settler.settle(announce)) {
        case Settler::End::Reversed:
            ends[item[k]] |= kReversed;
            break;
        case Settler::End::AlreadyBack:
            ends[item[k]] |= kBack;
            break;
        case Settler::End::Failed:
            ends[item[k]] |= kFailed;
            outcome.failures.push_back(settler.failure());
            break;
        }
    }
    std::size_t failedItems = 0;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (item[k] != k)
            continue;
        if ((ends[k] & kFailed) != 0)
            ++failedItems;
        else if ((ends[k] & kReversed) != 0)
            ++outcome.reversed;
        else
            ++outcome.alreadyBack;
    }
    log.clear();
    if (outcome.failures.empty())
        status.setStatusMessage(std::string(kUndoDoneMessage));
    else
        status.setStatusMessage(
            std::to_string(failedItems) + " of " +
            std::to_string(failedItems + static_cast<std::size_t>(outcome.reversed)) +
            " changes could not be reversed.");
    return outcome;
}

} // namespace vantrel
