#pragma once

#include "platform/DateTime.h"
#include "platform/LocalTime.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vantrel {

/// The strftime format of a Date "Fmt" line: day, month, year (Y is "%Y" with
/// century, else "%y"), hour, minute and second directives joined by the
/// segment text; "Custom" is the custom text whole; no line gives an empty format.
[[nodiscard]] std::string buildDateFormat(int dateFormat, bool century,
                                          std::string_view segmentSeparator,
                                          std::string_view custom);

/// Formats with strftime into a buffer that grows as needed, so nothing is
/// ever cut off. An empty result is a valid result.
[[nodiscard]] std::string formatTime(const std::string& format, const std::tm& time);

/// Turns dates into date texts for one preview run: the date is read as local
/// wall-clock time, moved by whole hours, and formatted. Dates before 1970 and
/// after 2038 work (64-bit time). Conversions are cached per hour of the day,
/// because the C library's local-time conversion is slow.
class DateFormatter {
public:
    DateFormatter(std::string format, std::int32_t offsetHours);

    /// Writes the date text for `date`; false (and nothing written) when the
    /// date cannot be represented.
    bool format(const DateTime& date, std::string& out);

private:
    bool toLocalTime(const DateTime& date, std::tm& local, bool& fieldsOnly);

    std::string format_;
    std::int64_t offsetSeconds_;
    bool numeric_;
    LocalTime localTime_;
};

} // namespace vantrel
