#include "workspace/TipsFile.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

namespace vantrel {

bool isTipPiece(std::string_view piece) {
    if (piece.empty())
        return false;
    switch (piece.front()) {
    case ' ':
    case '\t':
    case '\n':
    case '\r': // the empty line of a file written with CR LF line ends
    case ';':
        return false;
    default:
        return true;
    }
}

std::string tipsTimeStamp(const FileAttributes& attributes) {
    const std::int64_t seconds = std::max(attributes.created.seconds, attributes.modified.seconds);
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&time, &local) == nullptr)
        return {};
    // ctime's own layout, in its English names whatever the locale.
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11)
        return {};
    char text[64];
    const int n =
        std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %lld", kDays[local.tm_wday],
                      kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec, static_cast<long long>(local.tm_year) + 1900);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof text)
        return {};
    return std::string(text, static_cast<std::size_t>(n));
}

TipsFile::TipsFile(std::string text, std::string timeStamp)
    : text_(std::move(text)), timeStamp_(std::move(timeStamp)) {}

Result TipsFile::open(FileSystem& fs, const std::string& path, std::optional<TipsFile>& out) {
    out.reset();
    std::unique_ptr<ByteStream> stream;
    if (Result r = fs.openRead(path, stream); !r)
        return r;
    FileAttributes attributes;
    if (Result r = fs.attributes(path, attributes); !r)
        return r;
    std::string text;
    char buffer[16384];
    while (text.size() < kTipsFileMaxBytes) {
        const std::size_t n =
            stream->read(buffer, std::min(sizeof buffer, kTipsFileMaxBytes - text.size()));
        if (n == 0)
            break;
        text.append(buffer, n);
    }
    out.emplace(std::move(text), tipsTimeStamp(attributes));
    return {};
}

TipStart TipsFile::start(std::int64_t storedPosition, std::string_view storedStamp) {
    position_ = 0;
    if (storedStamp != timeStamp_)
        return TipStart::Restarted;
    if (storedPosition < 0)
        return TipStart::Unreachable;
    position_ = static_cast<std::size_t>(storedPosition);
    return TipStart::Resumed;
}

std::string TipsFile::next() {
    const bool fromStart = position_ == 0;
    bool wrapped = false;
    for (;;) {
        if (position_ >= text_.size()) {
            // The end: go on at the beginning, once. A second end (or the
            // first, when reading began at the start) means a whole pass
            // found no tip.
            position_ = 0;
            if (wrapped || fromStart)
                return {};
            wrapped = true;
            continue;
        }
        // One piece as a line reader with a buffer of kTipPieceBytes + 1
        // gives it: up to and including the line feed, at most that long.
        const std::size_t limit = std::min(text_.size() - position_, kTipPieceBytes);
        const std::size_t feed = text_.find('\n', position_);
        const std::size_t length =
            feed != std::string::npos && feed - position_ < limit ? feed - position_ + 1 : limit;
        const std::string_view piece(text_.data() + position_, length);
        position_ += length;
        if (isTipPiece(piece))
            return std::string(piece);
    }
}

} // namespace vantrel
