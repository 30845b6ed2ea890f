#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <ctime>
#include <unordered_map>

namespace vantrel {

/// Fields of `date` as a broken-down local wall-clock time with daylight
/// saving left for the C library to decide.
[[nodiscard]] std::tm wallClockTime(const DateTime& date);

/// mktime that tells failure apart from the valid time -1; `tm` is normalised.
[[nodiscard]] bool makeLocalTime(std::tm& tm, std::int64_t& seconds);

/// Converts between instants (seconds since 1970) and local wall-clock dates
/// as the C library does, with 64-bit time. Results are cached per hour,
/// because mktime re-reads the time zone on every call and many dates share
/// an hour. Not thread-safe: one converter per thread.
class LocalTime {
public:
    /// The instant of a local wall-clock date, as mktime gives it with
    /// daylight saving decided automatically (out-of-range fields are
    /// normalised), but the same whatever was converted before (see
    /// resolveWallClock). False when the date cannot be represented. `plain` tells
    /// whether the date lies in an hour without a daylight-saving change, so
    /// its fields are its normalised fields.
    bool toSeconds(const DateTime& date, std::int64_t& seconds, bool* plain = nullptr);

    /// The local wall-clock date of an instant, milliseconds from
    /// `nanoseconds`; false (and an all-zero date) when it cannot be represented.
    bool toLocal(std::int64_t seconds, std::uint32_t nanoseconds, DateTime& out);

private:
    struct HourStart {
        std::int64_t seconds = 0;
        bool plain = false; ///< every time of the hour is seconds + minute * 60 + second
    };
    static HourStart hourStart(const DateTime& date);
    static bool toLocalUncached(std::int64_t seconds, std::uint16_t milliseconds, DateTime& out);

    std::unordered_map<std::uint64_t, HourStart> hourStarts_;
    /// Offset from UTC in force for a whole hour of instants, by hour number.
    std::unordered_map<std::int64_t, std::int64_t> hourOffsets_;
    std::int64_t lastHour_ = INT64_MIN; ///< the hour of `lastOffset_`
    std::int64_t lastOffset_ = 0;
    std::int64_t lastSecond_ = INT64_MIN; ///< the instant of `lastDate_`
    DateTime lastDate_;
};

/// The instant of a local wall-clock date, without caching: of two instants
/// with the same wall-clock time the earlier; a time skipped by a change to
/// summer time read as standard time. False when it cannot be represented.
[[nodiscard]] bool resolveWallClock(const DateTime& date, std::int64_t& seconds);

/// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
[[nodiscard]] std::int64_t daysFromCivil(std::int64_t year, int month, int day);

} // namespace vantrel
