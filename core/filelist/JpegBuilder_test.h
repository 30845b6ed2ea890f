#pragma once
// Builds JPEG headers and EXIF blocks byte by byte, for the date-taken tests
// and the benchmark.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::test {

/// One directory entry as stored; `value` fills the 4-byte value field (an
/// offset, or a small value when `format` is 3 and `count` 1).
struct ExifEntry {
    std::uint16_t tag;
    std::uint16_t format;
    std::uint32_t count;
    std::uint32_t value;
};

/// An ASCII entry of `text.size() + 1` bytes whose text lies at `offset`.
inline ExifEntry asciiAt(std::uint16_t tag, std::string_view text, std::uint32_t offset) {
    return {tag, 2, static_cast<std::uint32_t>(text.size() + 1), offset};
}

/// A block from the byte-order mark on, with its pieces placed at chosen offsets.
class TiffBlock {
public:
    explicit TiffBlock(bool bigEndian, std::uint32_t firstDirectory = 8) : big_(bigEndian) {
        bytes(0, bigEndian ? "MM" : "II");
        put16(2, 42);
        put32(4, firstDirectory);
    }
    /// Bytes a directory of `entries` entries takes, its 4-byte next link included.
    static constexpr std::uint32_t directorySize(std::size_t entries) {
        return static_cast<std::uint32_t>(2 + 12 * entries + 4);
    }
    /// A directory at `at`. The next link is written as the usual 4-byte field;
    /// the reader takes its first 16 bits, so tests of the link use little-endian.
    TiffBlock& directory(std::uint32_t at, const std::vector<ExifEntry>& entries,
                         std::uint32_t next = 0) {
        put16(at, static_cast<std::uint16_t>(entries.size()));
        std::uint32_t pos = at + 2;
        for (const ExifEntry& e : entries) {
            put16(pos, e.tag);
            put16(pos + 2, e.format);
            put32(pos + 4, e.count);
            if (e.format == 3 && e.count == 1)
                put16(pos + 8, static_cast<std::uint16_t>(e.value)).put16(pos + 10, 0);
            else
                put32(pos + 8, e.value);
            pos += 12;
        }
        return put32(pos, next);
    }
    /// Text with its terminating zero byte at `at`.
    TiffBlock& text(std::uint32_t at, std::string_view s) {
        return bytes(at, s).bytes(at + static_cast<std::uint32_t>(s.size()), std::string(1, '\0'));
    }
    TiffBlock& bytes(std::uint32_t at, std::string_view s) {
        if (data_.size() < at + s.size())
            data_.resize(at + s.size(), '\0');
        data_.replace(at, s.size(), s);
        return *this;
    }
    TiffBlock& put16(std::uint32_t at, std::uint16_t v) {
        const char hi = static_cast<char>(v >> 8), lo = static_cast<char>(v & 0xFF);
        return bytes(at, big_ ? std::string{hi, lo} : std::string{lo, hi});
    }
    TiffBlock& put32(std::uint32_t at, std::uint32_t v) {
        const auto hi = static_cast<std::uint16_t>(v >> 16), lo = static_cast<std::uint16_t>(v);
        return big_ ? put16(at, hi).put16(at + 2, lo) : put16(at, lo).put16(at + 2, hi);
    }
    /// The body of the APP1 section: "Exif", two zero bytes, then the block.
    [[nodiscard]] std::string exifBody() const { return std::string("Exif\0\0", 6) + data_; }

private:
    bool big_;
    std::string data_;
};

/// The usual layout: main directory at 8 linking to an EXIF directory that
/// holds the capture date-time.
inline std::string exifWithDate(bool bigEndian, std::string_view date) {
    constexpr std::uint32_t sub = 8 + TiffBlock::directorySize(1);
    constexpr std::uint32_t text = sub + TiffBlock::directorySize(1);
    return TiffBlock(bigEndian)
        .directory(8, {{0x8769, 4, 1, sub}})
        .directory(sub, {asciiAt(0x9003, date, text)})
        .text(text, date)
        .exifBody();
}

/// A JPEG file assembled section by section after its start-of-image marker.
class JpegFile {
public:
    JpegFile() : bytes_("\xFF\xD8") {}
    /// 0xFF, the marker, the big-endian length (body + 2) and the body.
    JpegFile& section(unsigned char marker, std::string_view body) {
        const std::size_t length = body.size() + 2;
        bytes_ += '\xFF';
        bytes_ += static_cast<char>(marker);
        bytes_ += static_cast<char>(length >> 8);
        bytes_ += static_cast<char>(length & 0xFF);
        bytes_ += body;
        return *this;
    }
    JpegFile& raw(std::string_view bytes) {
        bytes_ += bytes;
        return *this;
    }
    /// A start-of-scan section for one component, `imageData`, then end of image.
    JpegFile& scan(std::string_view imageData = "\x12\x34\x56") {
        return section(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6))
            .raw(imageData)
            .raw("\xFF\xD9");
    }
    [[nodiscard]] const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

} // namespace vantrel::test
