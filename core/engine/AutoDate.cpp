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

namespace {

/// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool localAt(std::int64_t seconds, std::tm& tm) {
    const auto t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, &tm) != nullptr;
}

} // namespace

DateFormatter::HourStart DateFormatter::hourStart(const DateTime& d) {
    // mktime re-reads the time zone on every call, which is slow; localtime_r
    // does not. So the start of the hour is found by reading the wall-clock
    // time as UTC and taking off the offset in force then, and accepted only
    // when the hour is plain: the start shows exactly this hour, and the
    // offset is the same from a day before to a day after, so no daylight-
    // saving change is near and every minute and second of it exists once.
    HourStart hour;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23)
        return hour;
    const std::int64_t wall = daysFromCivil(d.year, d.month, d.day) * 86400 + d.hour * 3600;
    std::tm tm{};
    if (!localAt(wall, tm))
        return hour;
    const std::int64_t start = wall - tm.tm_gmtoff;
    std::tm before{};
    std::tm after{};
    if (!localAt(start, tm) || !localAt(start - 86400, before) || !localAt(start + 90000, after))
        return hour;
    hour.seconds = start;
    hour.plain = tm.tm_gmtoff == before.tm_gmtoff && tm.tm_gmtoff == after.tm_gmtoff &&
                 tm.tm_year == d.year - 1900 && tm.tm_mon == d.month - 1 && tm.tm_mday == d.day &&
                 tm.tm_hour == d.hour && tm.tm_min == 0 && tm.tm_sec == 0;
    return hour;
}

bool DateFormatter::toLocalTime(const DateTime& d, std::tm& local, bool& fieldsOnly) {
    fieldsOnly = false;
    std::tm wanted = wallClock(d, d.minute, d.second);
    const std::uint64_t key = std::uint64_t{d.year} << 40 | std::uint64_t{d.month} << 32 |
                              std::uint64_t{d.day} << 16 | std::uint64_t{d.hour};
    auto it = hourStarts_.find(key);
    if (it == hourStarts_.end())
        it = hourStarts_.emplace(key, hourStart(d)).first;
    const HourStart& hour = it->second;
    std::int64_t seconds = 0;
    if (hour.plain && d.minute < 60 && d.second < 60) {
        seconds = hour.seconds + d.minute * 60 + d.second;
        if (offsetSeconds_ == 0) {
            // The calendar fields are the date's own; only the numeric
            // directives may rely on that (the weekday is not filled in).
            local = wanted;
            fieldsOnly = true;
            return true;
        }
    } else if (makeTime(wanted, seconds)) {
        local = wanted;
    } else {
        return false;
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
        std::tm full = wallClock(date, date.minute, date.second);
        std::int64_t seconds = 0;
        if (!makeTime(full, seconds))
            return false;
        local = full;
    }
    out += formatTime(format_, local);
    return true;
}

} // namespace vantrel
