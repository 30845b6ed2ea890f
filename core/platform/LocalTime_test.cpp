#include "platform/LocalTime.h"
#include "platform/TimeZone_test.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

/// Instants every 41 minutes and 13 seconds across a span, so that every
/// daylight-saving change of the span is crossed at several points.
template <typename Check>
void everyFewMinutes(std::int64_t from, std::int64_t to, Check check) {
    for (std::int64_t t = from; t < to; t += 41 * 60 + 13)
        check(t);
}

TEST(LocalTime, AgreesWithTheCLibraryInBothDirections) {
    const char* zones[] = {"UTC0",
                           "Europe/Berlin",
                           "America/Sao_Paulo",
                           "Pacific/Chatham",
                           "Australia/Lord_Howe",
                           "Asia/Kathmandu",
                           "America/St_Johns"};
    for (const char* zone : zones) {
        test::TimeZone tz(zone);
        LocalTime converter;
        int mismatches = 0;
        // 2015 to 2017, then around 1969/1970 and beyond 2038.
        const std::int64_t spans[][2] = {{1420070400, 1483228800},
                                         {-86400 * 40, 86400 * 40},
                                         {2240524800, 2240524800 + 86400 * 400}};
        for (const auto& span : spans) {
            everyFewMinutes(span[0], span[1], [&](std::int64_t t) {
                const auto tt = static_cast<std::time_t>(t);
                std::tm expected{};
                ASSERT_NE(localtime_r(&tt, &expected), nullptr);
                DateTime got;
                ASSERT_TRUE(converter.toLocal(t, 123456789, got));
                const DateTime want{static_cast<std::uint16_t>(expected.tm_year + 1900),
                                    static_cast<std::uint16_t>(expected.tm_mon + 1),
                                    static_cast<std::uint16_t>(expected.tm_wday),
                                    static_cast<std::uint16_t>(expected.tm_mday),
                                    static_cast<std::uint16_t>(expected.tm_hour),
                                    static_cast<std::uint16_t>(expected.tm_min),
                                    static_cast<std::uint16_t>(expected.tm_sec),
                                    123};
                if (got != want && ++mismatches < 5)
                    ADD_FAILURE() << zone << " at " << t;

                // Back again: the same instant, or, for a wall-clock time
                // that happens twice, the earlier one.
                std::int64_t seconds = 0;
                ASSERT_TRUE(converter.toSeconds(got, seconds));
                const auto back = static_cast<std::time_t>(seconds);
                std::tm again{};
                ASSERT_NE(localtime_r(&back, &again), nullptr);
                const bool sameWall = again.tm_hour == expected.tm_hour &&
                                      again.tm_min == expected.tm_min &&
                                      again.tm_mday == expected.tm_mday;
                const bool twice = seconds < t && t - seconds <= 7200;
                if ((seconds != t && !(twice && sameWall)) && ++mismatches < 5)
                    ADD_FAILURE() << zone << " back from " << t << " gives " << seconds;
            });
        }
        EXPECT_EQ(mismatches, 0) << zone;
    }
}

TEST(LocalTime, OutOfRangeFieldsNormaliseAsMktime) {
    test::TimeZone tz("Europe/Berlin");
    LocalTime converter;
    const DateTime odd[] = {
        {2005, 13, 0, 40, 25, 99, 99, 0}, // month 13, day 40, hour 25, minute and second 99
        {2005, 0, 0, 0, 0, 0, 0, 0},      // month and day 0
    };
    for (const DateTime& d : odd) {
        std::tm wall = wallClockTime(d);
        std::int64_t expected = 0;
        ASSERT_TRUE(makeLocalTime(wall, expected));
        std::int64_t seconds = 0;
        ASSERT_TRUE(converter.toSeconds(d, seconds));
        EXPECT_EQ(seconds, expected) << d.month << "/" << d.day << " " << d.hour;
    }
}

TEST(LocalTime, ChangesOfTheClockAreResolvedTheSameWay) {
    test::TimeZone tz("Europe/Berlin");
    const DateTime twice{2005, 10, 0, 30, 2, 30, 0, 0};  // the clocks go back at 03:00
    const DateTime skipped{2005, 3, 0, 27, 2, 30, 0, 0}; // the clocks go forward at 02:00
    const DateTime summer{2005, 10, 0, 29, 2, 30, 0, 0};
    const DateTime winter{2005, 10, 0, 31, 2, 30, 0, 0};
    // Whatever was converted just before, the answers stay the same: the
    // earlier of the two instants, and standard time for a skipped time.
    for (const DateTime& before : {summer, winter, twice}) {
        for (const DateTime& d : {twice, skipped}) {
            std::int64_t ignored = 0;
            std::tm primer = wallClockTime(before);
            ASSERT_TRUE(makeLocalTime(primer, ignored));
            LocalTime converter;
            std::int64_t seconds = 0;
            ASSERT_TRUE(converter.toSeconds(d, seconds));
            EXPECT_EQ(seconds, d.month == 10 ? 1130632200 : 1111887000);
        }
    }
}

} // namespace
} // namespace vantrel
