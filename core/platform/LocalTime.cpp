#include "platform/LocalTime.h"

namespace vantrel {

std::tm wallClockTime(const DateTime& d) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    tm.tm_isdst = -1; // let the platform decide whether daylight saving applies
    return tm;
}

bool makeLocalTime(std::tm& tm, std::int64_t& seconds) {
    tm.tm_wday = -1;
    const std::time_t t = std::mktime(&tm);
    if (tm.tm_wday == -1)
        return false;
    seconds = static_cast<std::int64_t>(t);
    return true;
}

std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

namespace {

bool localAt(std::int64_t seconds, std::tm& tm) {
    const auto t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, &tm) != nullptr;
}

/// Floor division, for instants before 1970.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

/// The calendar date of a day number (inverse of daysFromCivil).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

bool resolveWallClock(const DateTime& d, std::int64_t& seconds) {
    // mktime, asked to decide daylight saving itself, resolves a wall-clock
    // time that happens twice (clocks going back) or never (clocks going
    // forward) from what it converted before. So both readings are tried
    // and kept when self-consistent; of two, the earlier is taken. A time
    // that never happens is read as standard time.
    bool found = false;
    for (const int isDst : {0, 1}) {
        std::tm tm = wallClockTime(d);
        tm.tm_isdst = isDst;
        std::int64_t candidate = 0;
        if (!makeLocalTime(tm, candidate))
            continue;
        std::tm back{};
        const auto t = static_cast<std::time_t>(candidate);
        if (localtime_r(&t, &back) == nullptr || (back.tm_isdst > 0) != (isDst > 0))
            continue;
        if (!found || candidate < seconds)
            seconds = candidate;
        found = true;
    }
    if (found)
        return true;
    std::tm standard = wallClockTime(d);
    standard.tm_isdst = 0;
    return makeLocalTime(standard, seconds);
}

LocalTime::HourStart LocalTime::hourStart(const DateTime& d) {
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

bool LocalTime::toSeconds(const DateTime& d, std::int64_t& seconds, bool* plain) {
    const std::uint64_t key = std::uint64_t{d.year} << 40 | std::uint64_t{d.month} << 32 |
                              std::uint64_t{d.day} << 16 | std::uint64_t{d.hour};
    auto it = hourStarts_.find(key);
    if (it == hourStarts_.end())
        it = hourStarts_.emplace(key, hourStart(d)).first;
    const HourStart& hour = it->second;
    const bool fast = hour.plain && d.minute < 60 && d.second < 60;
    if (plain != nullptr)
        *plain = fast;
    if (fast) {
        seconds = hour.seconds + d.minute * 60 + d.second;
        return true;
    }
    return resolveWallClock(d, seconds);
}

bool LocalTime::toLocal(std::int64_t seconds, std::uint32_t nanoseconds, DateTime& out) {
    const auto milliseconds = static_cast<std::uint16_t>(nanoseconds / 1000000 % 1000);
    if (seconds == lastSecond_) { // files of one folder often share their times
        out = lastDate_;
        out.milliseconds = milliseconds;
        return true;
    }
    out = DateTime{};
    const std::int64_t hourNumber = floorDiv(seconds, 3600);
    if (hourNumber != lastHour_) {
        auto it = hourOffsets_.find(hourNumber);
        if (it == hourOffsets_.end()) {
            // An offset is cached only when it holds for the whole hour.
            std::tm first{};
            std::tm last{};
            if (!localAt(hourNumber * 3600, first) || !localAt(hourNumber * 3600 + 3599, last))
                return false;
            if (first.tm_gmtoff != last.tm_gmtoff)
                return toLocalUncached(seconds, milliseconds, out);
            it = hourOffsets_.emplace(hourNumber, first.tm_gmtoff).first;
        }
        lastHour_ = hourNumber;
        lastOffset_ = it->second;
    }
    const std::int64_t wall = seconds + lastOffset_;
    const std::int64_t days = floorDiv(wall, 86400);
    const std::int64_t ofDay = wall - days * 86400;
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 65535)
        return false;
    out.year = static_cast<std::uint16_t>(year);
    out.month = static_cast<std::uint16_t>(month);
    out.dayOfWeek = static_cast<std::uint16_t>(days + 4 - floorDiv(days + 4, 7) * 7);
    out.day = static_cast<std::uint16_t>(day);
    out.hour = static_cast<std::uint16_t>(ofDay / 3600);
    out.minute = static_cast<std::uint16_t>(ofDay / 60 % 60);
    out.second = static_cast<std::uint16_t>(ofDay % 60);
    out.milliseconds = milliseconds;
    lastSecond_ = seconds;
    lastDate_ = out;
    return true;
}

bool LocalTime::toLocalUncached(std::int64_t seconds, std::uint16_t milliseconds, DateTime& out) {
    std::tm tm{};
    if (!localAt(seconds, tm) || tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 65535)
        return false;
    out.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
    out.month = static_cast<std::uint16_t>(tm.tm_mon + 1);
    out.dayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    out.day = static_cast<std::uint16_t>(tm.tm_mday);
    out.hour = static_cast<std::uint16_t>(tm.tm_hour);
    out.minute = static_cast<std::uint16_t>(tm.tm_min);
    out.second = static_cast<std::uint16_t>(tm.tm_sec);
    out.milliseconds = milliseconds;
    return true;
}

} // namespace vantrel
