#pragma once

#include "platform/ByteStream.h"
#include "platform/DateTime.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vantrel {

/// One reader per file: walks the header sections of a JPEG file up to the
/// start of scan and takes the capture date-time (EXIF tag 0x9003) from its
/// EXIF data. Never throws and writes nowhere but into itself; a damaged or
/// hostile file gives false or no date, never a crash or an endless loop.
class JpegHeaderReader {
public:
    /// At most this many kept sections are read before the start of scan.
    static constexpr int kMaxSections = 20;

    /// True when the section walk reached the start of scan; `date()` then holds
    /// the capture date-time, all zero when the file has none. False when the
    /// stream is not a JPEG or its header is damaged; the date is then not to be
    /// used. EXIF faults do not make it false, they only leave the date unset.
    /// Reads nothing after the start-of-scan section.
    [[nodiscard]] bool read(ByteStream& in);
    /// The capture date-time found by the last `read`; all zero when none.
    [[nodiscard]] const DateTime& date() const { return date_; }
    /// The message of the last failure met, for diagnosis only; empty when none.
    [[nodiscard]] const std::string& errorText() const { return errorText_; }

private:
    bool fail(const char* text);
    bool readMarker(ByteStream& in, unsigned char& marker);
    bool reserve(std::size_t size);

    DateTime date_;
    std::string errorText_;
    int sections_ = 0;
    // One body buffer reused for every section: only the EXIF body being parsed
    // is needed, so memory stays at the largest section seen (at most 64 KiB).
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t capacity_ = 0;
};

/// Convenience: reads the header of `in`; on true `date` holds the capture
/// date-time (all zero when none); on false `date` is set to all zero.
[[nodiscard]] bool readJpegHeader(ByteStream& in, DateTime& date);

} // namespace vantrel
