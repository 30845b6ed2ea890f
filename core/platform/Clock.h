#pragma once

#include "platform/DateTime.h"

#include <ctime>

namespace vantrel {

/// Calendar fields of a broken-down time (day of week included).
[[nodiscard]] DateTime toDateTime(const std::tm& tm, int milliseconds = 0);

/// The source of the current time, behind a seam so that tests fix it.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual DateTime nowLocal() const = 0;
    [[nodiscard]] virtual DateTime nowUtc() const = 0;
};

/// The system's real-time clock.
class SystemClock final : public Clock {
public:
    [[nodiscard]] DateTime nowLocal() const override;
    [[nodiscard]] DateTime nowUtc() const override;
};

/// A clock that always tells the same times.
class FixedClock final : public Clock {
public:
    FixedClock(DateTime local, DateTime utc) : local_(local), utc_(utc) {}
    [[nodiscard]] DateTime nowLocal() const override { return local_; }
    [[nodiscard]] DateTime nowUtc() const override { return utc_; }

private:
    DateTime local_;
    DateTime utc_;
};

} // namespace vantrel
