#include "platform/Clock.h"

#include <chrono>
#include <cstdint>

namespace vantrel {
namespace {

template <typename Convert>
DateTime now(Convert convert) {
    const auto point = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(point.time_since_epoch());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(point);
    std::tm tm{};
    if (convert(&seconds, &tm) == nullptr)
        return {};
    return toDateTime(tm, static_cast<int>(ms.count() % 1000));
}

} // namespace

DateTime toDateTime(const std::tm& tm, int milliseconds) {
    const auto field = [](long long v) {
        return static_cast<std::uint16_t>(v < 0 ? 0 : (v > 65535 ? 65535 : v));
    };
    DateTime d;
    d.year = field(tm.tm_year + 1900LL);
    d.month = field(tm.tm_mon + 1LL);
    d.dayOfWeek = field(tm.tm_wday);
    d.day = field(tm.tm_mday);
    d.hour = field(tm.tm_hour);
    d.minute = field(tm.tm_min);
    d.second = field(tm.tm_sec);
    d.milliseconds = field(milliseconds);
    return d;
}

DateTime SystemClock::nowLocal() const {
    return now(localtime_r);
}
DateTime SystemClock::nowUtc() const {
    return now(gmtime_r);
}

} // namespace vantrel
