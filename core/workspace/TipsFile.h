#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// The longest piece of a line that one reading takes; a longer line gives
/// several pieces, each judged as a tip or not by its own first byte.
inline constexpr std::size_t kTipPieceBytes = 999;

/// How much of a tips file is read; anything beyond is never shown. Far
/// more than any list of hints needs, and it keeps a wrong file from
/// filling the memory.
inline constexpr std::size_t kTipsFileMaxBytes = std::size_t{4} << 20;

/// Whether a piece of the tips file is a tip: a piece beginning with a
/// blank, a tab, a carriage return, a line feed (an empty line) or a
/// semicolon (a comment) is not, and neither is an empty piece.
[[nodiscard]] bool isTipPiece(std::string_view piece);

/// The time stamp text of a tips file: the later of its creation and
/// modification times (replacing the file renews the one, editing or
/// touching it the other), in local time as ctime() writes it, for example
/// "Sun Mar  7 15:04:05 2004", without a line end. Empty when the time has
/// no local calendar date.
[[nodiscard]] std::string tipsTimeStamp(const FileAttributes& attributes);

/// How a stored reading position was taken up.
enum class TipStart {
    Resumed,    ///< the file is the one the position belongs to: reading goes on there
    Restarted,  ///< another file (another time stamp): reading starts at 0
    Unreachable ///< the position lies before the file's start: reading starts at 0
};

/// One tips file as the Tip of the Day reads it: one hint a line, read from
/// a byte position on, in pieces of at most kTipPieceBytes, going on at the
/// beginning after the end. The whole file is held in memory (up to
/// kTipsFileMaxBytes), so reading never fails once the file is open.
class TipsFile {
public:
    /// A tips file with this text and time stamp.
    TipsFile(std::string text, std::string timeStamp);

    /// Reads the file at `path` through `fs`: its text and its time stamp.
    /// Fails with the operation, path and system text when it cannot be
    /// opened, read or its attributes read; `out` is then left empty.
    [[nodiscard]] static Result open(FileSystem& fs, const std::string& path,
                                     std::optional<TipsFile>& out);

    [[nodiscard]] const std::string& timeStamp() const { return timeStamp_; }

    /// Takes up the stored position and time stamp: reading starts at
    /// `storedPosition` when `storedStamp` is this file's time stamp, else
    /// at 0 (Restarted: the caller stores the new stamp). A negative
    /// position cannot be reached: reading starts at 0 (Unreachable).
    TipStart start(std::int64_t storedPosition, std::string_view storedStamp);

    /// The next tip from the current position, with the line feed that ends
    /// it (when the line was not longer than a piece); after the end of the
    /// file reading goes on at its beginning. Empty when a whole pass over
    /// the file found no tip.
    [[nodiscard]] std::string next();

    /// The byte after the last piece read, where the next search begins:
    /// what is stored for the next showing.
    [[nodiscard]] std::int64_t position() const { return static_cast<std::int64_t>(position_); }

private:
    std::string text_;
    std::string timeStamp_;
    std::size_t position_ = 0; ///< may lie beyond the end (a position stored for a longer file)
};

} // namespace vantrel
