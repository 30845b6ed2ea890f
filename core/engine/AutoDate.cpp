#include "engine/AutoDate.h"

#include <vector>

namespace vantrel {

std::string buildDateFormat(int dateFormat, bool century, std::string_view seg,
                            std::string_view custom) {
    const std::string_view year = century ? "%Y" : "%y";
    // Each line lists its directives in order; "Y" stands for the year directive.
    static constexpr std::string_view kLines[] = {
        "dmY", "dmYHM", "dmYHMS", "mdY", "mdYHM", "mdYHMS", "Ymd", "YmdHM", "YmdHMS",
    };
    if (dateFormat == 9)
        return std::string(custom);
    if (dateFormat < 0 || dateFormat > 8)
        return {};
    std::string format;
    bool first = true;
    for (const char directive : kLines[dateFormat]) {
        if (!first)
            format += seg;
        first = false;
        if (directive == 'Y') {
            format += year;
        } else {
            format += '%';
            format += directive;
        }
    }
    return format;
}

std::string formatTime(const std::string& format, const std::tm& time) {
    if (format.empty())
        return {};
    char small[256];
    std::size_t n = std::strftime(small, sizeof small, format.c_str(), &time);
    if (n > 0)
        return std::string(small, n);
    // strftime returns 0 both for "too small" and for an empty result, so grow
    // up to a generous bound and accept an empty text after that.
    std::vector<char> buffer(format.size() * 16 + 1024);
    constexpr std::size_t kLimit = std::size_t{1} << 20;
    while (true) {
        n = std::strftime(buffer.data(), buffer.size(), format.c_str(), &time);
        if (n > 0)
            return std::string(buffer.data(), n);
        if (buffer.size() >= kLimit)
            return {};
        buffer.resize(buffer.size() * 4);
    }
}

namespace {

std::tm wallClock(const DateTime& d, int minute, int second) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1; // let the platform decide whether daylight saving applies
    return tm;
}

bool sameWallClock(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

/// mktime that tells failure apart from the valid time -1; `tm` is normalised.
bool makeTime(std::tm& tm, std::int64_t& seconds) {
    tm.tm_wday = -1;
    const std::time_t t = std::mktime(&tm);
    if (tm.tm_wday == -1)
        return false;
    seconds = static_cast<std::int64_t>(t);
    return true;
}

/// Whether the format holds only literal text, "%%" and the numeric
/// directives of the fixed lines, which are formatted here without strftime.
bool isNumericFormat(std::string_view format) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (++i == format.size())
            return false;
        if (std::string_view("dmYyHMS%").find(format[i]) == std::string_view::npos)
            return false;
    }
    return true;
}

void putTwoDigits(int value, std::string& out) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

/// The numeric directives as strftime writes them, for years 1000 to 9999.
void formatNumeric(std::string_view format, const std::tm& tm, std::string& out) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out.push_back(format[i]);
            continue;
        }
        const int year = tm.tm_year + 1900;
        switch (format[++i]) {
        case 'd':
            putTwoDigits(tm.tm_mday, out);
            break;
        case 'm':
            putTwoDigits(tm.tm_mon + 1, out);
            break;
        case 'y':
            putTwoDigits(year % 100, out);
            break;
        case 'Y':
            putTwoDigits(year / 100, out);
            putTwoDigits(year % 100, out);
            break;
        case 'H':
            putTwoDigits(tm.tm_hour, out);
            break;
        case 'M':
            putTwoDigits(tm.tm_min, out);
            break;
        case 'S':
            putTwoDigits(tm.tm_sec, out);
            break;
        default:
            out.push_back('%');
            break;
        }
    }
}

} // namespace

DateFormatter::DateFormatter(std::string format, std::int32_t offsetHours)
    : format_(std::move(format)), offsetSeconds_(std::int64_t{offsetHours} * 3600),
      numeric_(isNumericFormat(format_)) {}

bool DateFormatter::toLocalTime(const DateTime& d, std::tm& local) {
    std::tm wanted = wallClock(d, d.minute, d.second);
    std::int64_t seconds = 0;
    bool found = false;
    // Within one wall-clock hour the offset from UTC almost never changes, so
    // the start of the hour is converted once and the rest added; the round
    // trip below catches the rare hour in which it does change.
    const std::uint64_t key = std::uint64_t{d.year} << 40 | std::uint64_t{d.month} << 32 |
                              std::uint64_t{d.day} << 16 | std::uint64_t{d.hour};
    auto it = hourStarts_.find(key);
    if (it == hourStarts_.end()) {
        std::tm start = wallClock(d, 0, 0);
        std::int64_t startSeconds = 0;
        if (makeTime(start, startSeconds))
            it = hourStarts_.emplace(key, startSeconds).first;
    }
    if (it != hourStarts_.end() && d.minute < 60 && d.second < 60) {
        seconds = it->second + d.minute * 60 + d.second;
        const auto t = static_cast<std::time_t>(seconds);
        found = localtime_r(&t, &local) != nullptr && sameWallClock(local, wanted);
    }
    if (!found) {
        if (!makeTime(wanted, seconds))
            return false;
        local = wanted;
    }
    if (offsetSeconds_ != 0) {
        const auto t = static_cast<std::time_t>(seconds + offsetSeconds_);
        if (localtime_r(&t, &local) == nullptr)
            return false;
    }
    return true;
}

bool DateFormatter::format(const DateTime& date, std::string& out) {
    std::tm local{};
    if (!toLocalTime(date, local))
        return false;
    if (numeric_ && local.tm_year >= 1000 - 1900 && local.tm_year <= 9999 - 1900)
        formatNumeric(format_, local, out);
    else
        out += formatTime(format_, local);
    return true;
}

} // namespace vantrel
