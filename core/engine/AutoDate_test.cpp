#include "engine/AutoDate.h"
#include "platform/TimeZone_test.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using test::TimeZone;

/// What the plain C library gives: the wall-clock time, moved by the offset.
std::string reference(const DateTime& d, int offsetHours, const char* format) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm) + offsetHours * 3600;
    std::tm local{};
    localtime_r(&t, &local);
    return formatTime(format, local);
}

TEST(AutoDate, CachedConversionAgreesWithTheCLibraryAcrossDaylightSaving) {
    const char* zones[] = {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "UTC"};
    const DateTime dates[] = {
        {2004, 3, 0, 28, 1, 59, 59, 0},   // just before the spring gap in Europe
        {2004, 3, 0, 28, 2, 30, 0, 0},    // inside it: does not exist
        {2004, 3, 0, 28, 3, 0, 1, 0},     //
        {2004, 10, 0, 31, 2, 30, 0, 0},   // the repeated autumn hour
        {2004, 4, 0, 4, 2, 15, 0, 0},     // the gap in New York
        {2004, 10, 0, 31, 1, 45, 0, 0},   // the repeated hour in New York
        {2004, 10, 0, 3, 2, 15, 0, 0},    // Lord Howe's half-hour step
        {1969, 12, 0, 31, 23, 59, 59, 0}, // before 1970
        {2040, 7, 0, 1, 12, 0, 0, 0},     // after 2038
        {2004, 2, 0, 30, 10, 0, 0, 0},    // not a day: normalised as the C library does
    };
    for (const char* zone : zones) {
        TimeZone tz(zone);
        for (const int offset : {0, -1, 5}) {
            // Each date twice: the second time comes from the cache.
            DateFormatter formatter("%Y%m%d %H%M%S", offset);
            DateFormatter weekday("%a %j %H:%M", offset);
            for (int pass = 0; pass < 2; ++pass) {
                for (const DateTime& d : dates) {
                    std::string got;
                    ASSERT_TRUE(formatter.format(d, got));
                    EXPECT_EQ(got, reference(d, offset, "%Y%m%d %H%M%S"))
                        << zone << " " << d.year << "-" << d.month << "-" << d.day << " " << d.hour
                        << ":" << d.minute << " offset " << offset;
                    got.clear();
                    ASSERT_TRUE(weekday.format(d, got));
                    EXPECT_EQ(got, reference(d, offset, "%a %j %H:%M")) << zone;
                }
            }
        }
    }
}

TEST(AutoDate, FormatsOfTheLines) {
    EXPECT_EQ(buildDateFormat(0, false, "-", ""), "%d-%m-%y");
    EXPECT_EQ(buildDateFormat(5, true, "", ""), "%m%d%Y%H%M%S");
    EXPECT_EQ(buildDateFormat(7, false, ".", ""), "%y.%m.%d.%H.%M");
    EXPECT_EQ(buildDateFormat(9, true, "-", "%A"), "%A");
    EXPECT_EQ(buildDateFormat(-1, true, "-", "%A"), "");
    EXPECT_EQ(buildDateFormat(10, true, "-", "%A"), "");
}

TEST(AutoDate, FormatBufferGrowsInsteadOfCutting) {
    std::tm tm{};
    tm.tm_year = 104;
    tm.tm_mday = 1;
    const std::string longFormat(5000, 'x');
    EXPECT_EQ(formatTime(longFormat + "%Y", tm), longFormat + "2004");
    EXPECT_EQ(formatTime("", tm), "");
}

TEST(AutoDate, YearsOutsideFourDigitsGoThroughStrftime) {
    TimeZone tz("UTC");
    DateFormatter formatter("%Y-%m", 0);
    for (const auto& [year, expected] : {std::pair{999, "999-01"}, std::pair{12000, "12000-01"}}) {
        std::string got;
        ASSERT_TRUE(
            formatter.format(DateTime{static_cast<std::uint16_t>(year), 1, 0, 1, 0, 0, 0, 0}, got));
        EXPECT_EQ(got, expected);
    }
}

} // namespace
} // namespace vantrel
