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

char* putTwoDigits(int value, char* out) {
    *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

/// The numeric directives as strftime writes them, for years 1000 to 9999.
void formatNumeric(std::string_view format, const std::tm& tm, std::string& out) {
    // No directive writes more than twice its own length ("%Y" gives four digits).
    const std::size_t start = out.size();
    out.resize(start + format.size() * 2);
    char* w = out.data() + start;
    const int year = tm.tm_year + 1900;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            *w++ = format[i];
            continue;
        }
        switch (format[++i]) {
        case 'd':
            w = putTwoDigits(tm.tm_mday, w);
            break;
        case 'm':
            w = putTwoDigits(tm.tm_mon + 1, w);
            break;
        case 'y':
            w = putTwoDigits(year % 100, w);
            break;
        case 'Y':
            w = putTwoDigits(year % 100, putTwoDigits(year / 100, w));
            break;
        case 'H':
            w = putTwoDigits(tm.tm_hour, w);
            break;
        case 'M':
            w = putTwoDigits(tm.tm_min, w);
            break;
        case 'S':
            w = putTwoDigits(tm.tm_sec, w);
            break;
        default:
            *w++ = '%';
            break;
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

} // namespace

DateFormatter::DateFormatter(std::string format, std::int32_t offsetHours)
    : format_(std::move(format)), offsetSeconds_(std::int64_t{offsetHours} * 3600),
      numeric_(isNumericFormat(format_)) {}

bool DateFormatter::toLocalTime(const DateTime& d, std::tm& local, bool& fieldsOnly) {
    fieldsOnly = false;
    std::int64_t seconds = 0;
    bool plain = false;
    if (!localTime_.toSeconds(d, seconds, &plain))
        return false;
    if (plain && offsetSeconds_ == 0) {
        // The calendar fields are the date's own; only the numeric
        // directives may rely on that (the weekday is not filled in).
        local = wallClockTime(d);
        fieldsOnly = true;
        return true;
    }
    const auto t = static_cast<std::time_t>(seconds + offsetSeconds_);
    return localtime_r(&t, &local) != nullptr;
}

bool DateFormatter::format(const DateTime& date, std::string& out) {
    std::tm local{};
    bool fieldsOnly = false;
    if (!toLocalTime(date, local, fieldsOnly))
        return false;
    if (numeric_ && local.tm_year >= 1000 - 1900 && local.tm_year <= 9999 - 1900) {
        formatNumeric(format_, local, out);
        return true;
    }
    if (fieldsOnly) {
        // strftime may need the weekday and the day of the year.
        std::tm full = wallClockTime(date);
        std::int64_t seconds = 0;
        if (!makeLocalTime(full, seconds))
            return false;
        local = full;
    }
    out += formatTime(format_, local);
    return true;
}

} // namespace vantrel
