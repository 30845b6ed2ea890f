#pragma once

#include <cstdint>

namespace vantrel {

/// A calendar date and time of day with the eight fields of the platform's
/// system-time record. All fields zero means that there is no date.
struct DateTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    [[nodiscard]] bool isZero() const { return *this == DateTime{}; }
    bool operator==(const DateTime&) const = default;
};

} // namespace vantrel
