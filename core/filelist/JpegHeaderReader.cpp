// The JPEG header walk and the EXIF directory reader behind the "Taken" date.
// Every length, count and offset here comes from the file, so every read is
// preceded by a bounds check done in 64-bit arithmetic (no 32-bit sum can wrap).
#include "filelist/JpegHeaderReader.h"

#include "text/Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace vantrel {
namespace {

constexpr unsigned char kPadding = 0xFF;
constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kApp0 = 0xE0;
constexpr unsigned char kApp1 = 0xE1;
constexpr unsigned char kComment = 0xFE;
constexpr int kMaxPadding = 6; // the seventh 0xFF in a row is refused

constexpr std::uint16_t kTagDateTimeOriginal = 0x9003;
constexpr std::uint16_t kTagOrientation = 0x0112;
constexpr std::uint16_t kTagExifDirectory = 0x8769;
constexpr std::uint16_t kTagInteropDirectory = 0xA005;

constexpr std::size_t kExifHeaderSize = 14; // "Exif\0\0", byte order, 42, first offset
constexpr std::size_t kExifBase = 6;        // all offsets count from the byte order mark
constexpr std::size_t kFirstDirectory = 8;
constexpr std::size_t kEntrySize = 12;
constexpr std::size_t kDateChars = 19; // "YYYY:MM:DD HH:MM:SS"

// Bytes per component of the TIFF field types 0 to 12.
constexpr unsigned kFormatBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr std::size_t kFormatCount = std::size(kFormatBytes);

// Well-formed files nest main, EXIF and interoperability directories plus the
// thumbnail; the limit only keeps a long chain of links from exhausting the stack.
constexpr int kMaxDepth = 8;

/// The directories of one EXIF block. Offsets are relative to the block's base;
/// `length` bytes are available from there.
class ExifBlock {
public:
    /// `length` is at least 8: the header check has seen the 14 header bytes.
    ExifBlock(const unsigned char* base, std::size_t length, bool bigEndian, DateTime& date,
              std::string& error)
        : base_(base), length_(length), bigEndian_(bigEndian), date_(date), error_(error) {}

    /// Checks the rest of the header and reads the directories; a fault ends
    /// the block, keeping any date found before it.
    void read();

private:
    bool fail(const char* text) {
        error_ = text;
        return false;
    }
    [[nodiscard]] std::uint16_t get16(std::size_t pos) const {
        const unsigned a = base_[pos], b = base_[pos + 1];
        return static_cast<std::uint16_t>(bigEndian_ ? (a << 8) | b : (b << 8) | a);
    }
    [[nodiscard]] std::uint32_t get32(std::size_t pos) const {
        const std::uint32_t a = get16(pos), b = get16(pos + 2);
        return bigEndian_ ? (a << 16) | b : (b << 16) | a;
    }
    bool readDirectory(std::size_t start, int depth);
    bool readEntry(std::size_t entry, int depth);
    bool readLink(std::size_t start, int depth);
    void parseDate(std::size_t pos, std::uint64_t byteCount);
    [[nodiscard]] std::int64_t integerValue(std::uint16_t format, std::size_t pos,
                                            std::uint64_t byteCount) const;

    const unsigned char* base_;
    std::size_t length_;
    bool bigEndian_;
    DateTime& date_;
    std::string& error_;
    // Each directory is read at most once per block: a link back into one
    // already read (itself, a parent, a sibling) is not followed, so cycles end
    // and the total work stays proportional to the block's size.
    std::vector<bool> visited_;
};

void ExifBlock::read() {
    if (get16(2) != 42) {
        error_ = "Invalid Exif start (1)";
        return;
    }
    const std::uint32_t first = get32(4);
    if (first < 8 || first > 16) {
        error_ = "Suspicious offset of first IFD value";
        return;
    }
    visited_.assign(length_ + 1, false);
    // Read at 8 whatever the offset said; a damaged directory keeps what it found.
    (void)readDirectory(kFirstDirectory, 0);
}

// Reads the directory at `start` (at most `length_`) and those it links to.
// False when this directory is damaged; what it found before stays.
bool ExifBlock::readDirectory(std::size_t start, int depth) {
    if (depth > kMaxDepth)
        return fail("EXIF directories nested too deeply");
    if (visited_[start])
        return fail("EXIF directory link leads back to a directory already read");
    visited_[start] = true;
    if (start + 2 > length_)
        return fail("Illegally sized directory");
    const std::size_t count = get16(start);
    const std::size_t end = start + 2 + kEntrySize * count;
    if (end > length_)
        return fail("Illegally sized directory");
    for (std::size_t i = 0; i < count; ++i) {
        if (!readEntry(start + 2 + kEntrySize * i, depth))
            return false;
    }
    if (end + 2 <= length_ && !readLink(end, depth))
        return false;
    return true;
}

bool ExifBlock::readEntry(std::size_t entry, int depth) {
    const std::uint16_t tag = get16(entry);
    const std::uint16_t format = get16(entry + 2);
    const std::uint32_t components = get32(entry + 4);
    if (format >= kFormatCount)
        return fail("Illegal format code in EXIF dir");
    const std::uint64_t byteCount = std::uint64_t{components} * kFormatBytes[format];
    std::size_t value = entry + 8;
    if (byteCount > 4) {
        const std::uint64_t offset = get32(entry + 8);
        if (offset + byteCount > length_)
            return fail("Illegal pointer offset value in EXIF.");
        value = static_cast<std::size_t>(offset);
    }
    switch (tag) {
    case kTagDateTimeOriginal:
        parseDate(value, byteCount);
        break;
    case kTagOrientation: {
        const std::int64_t rotation = integerValue(format, value, byteCount);
        if (rotation < 1 || rotation > 8)
            error_ = "Undefined rotation value";
        break;
    }
    case kTagExifDirectory:
    case kTagInteropDirectory: {
        // At least 4 bytes are readable at `value`: the entry's own, or more than 4 checked above.
        const std::size_t sub = get32(value);
        if (sub > length_)
            return fail("Illegal subdirectory link");
        (void)readDirectory(sub, depth + 1); // its failure leaves this directory going
        break;
    }
    default:
        break;
    }
    return true;
}

// The link after the entries (the thumbnail directory) is 16 bits wide.
bool ExifBlock::readLink(std::size_t start, int depth) {
    const std::size_t next = get16(start);
    if (next == 0)
        return true;
    if (next > length_)
        return fail("Illegal subdirectory link");
    (void)readDirectory(next, depth + 1);
    return true;
}

// Strictly by position: the separators are not checked and nothing is range
// checked, so a malformed text gives a malformed but harmless date.
void ExifBlock::parseDate(std::size_t pos, std::uint64_t byteCount) {
    std::string_view text(reinterpret_cast<const char*>(base_ + pos),
                          static_cast<std::size_t>(std::min<std::uint64_t>(byteCount, kDateChars)));
    text = text.substr(0, text.find('\0'));
    const auto field = [text](std::size_t from, std::size_t width) {
        if (from >= text.size())
            return std::uint16_t{0};
        return static_cast<std::uint16_t>(text::atoiRule(text.substr(from, width)));
    };
    DateTime date;
    date.year = field(0, 4);
    date.month = field(5, 2);
    date.day = field(8, 2);
    date.hour = field(11, 2);
    date.minute = field(14, 2);
    date.second = field(17, 2);
    date_ = date;
}

// The first component of an integer value, for the orientation check; 0 (an
// undefined rotation) for fractions, floating point and empty values.
std::int64_t ExifBlock::integerValue(std::uint16_t format, std::size_t pos,
                                     std::uint64_t byteCount) const {
    if (byteCount < kFormatBytes[format])
        return 0;
    switch (format) {
    case 1:
    case 2:
    case 7:
        return base_[pos];
    case 3:
        return get16(pos);
    case 4:
        return get32(pos);
    case 6:
        return static_cast<signed char>(base_[pos]);
    case 8:
        return static_cast<std::int16_t>(get16(pos));
    case 9:
        return static_cast<std::int32_t>(get32(pos));
    default:
        return 0;
    }
}

/// Parses the body of an APP1 section that begins with "Exif"; faults go to
/// `error` and end this block only.
void parseExifBody(const unsigned char* body, std::size_t size, DateTime& date,
                   std::string& error) {
    if (size < kExifHeaderSize || std::memcmp(body, "Exif\0\0", 6) != 0) {
        error = "Incorrect Exif header";
        return;
    }
    const bool bigEndian = body[6] == 'M' && body[7] == 'M';
    if (!bigEndian && (body[6] != 'I' || body[7] != 'I')) {
        error = "Invalid Exif alignment marker.";
        return;
    }
    ExifBlock(body + kExifBase, size - kExifBase, bigEndian, date, error).read();
}

} // namespace

bool JpegHeaderReader::fail(const char* text) {
    errorText_ = text;
    return false;
}

// The byte after a run of 0xFF (at most six of them) is the marker code, even
// when no 0xFF came first.
bool JpegHeaderReader::readMarker(ByteStream& in, unsigned char& marker) {
    for (int padding = 0;; ++padding) {
        if (!in.readByte(marker))
            return fail("invalid marker"); // the length that follows cannot be read either
        if (marker != kPadding)
            return true;
        if (padding == kMaxPadding)
            return fail("too many padding unsigned chars");
    }
}

bool JpegHeaderReader::reserve(std::size_t size) {
    if (size <= capacity_)
        return true;
    buffer_.reset(new (std::nothrow) unsigned char[size]);
    capacity_ = buffer_ ? size : 0;
    return buffer_ != nullptr;
}

// Dropped sections (APP0, APP1 without EXIF, every comment after the first) do
// not count toward the limit of kept sections.
bool JpegHeaderReader::read(ByteStream& in) {
    date_ = DateTime{};
    errorText_.clear();
    sections_ = 0;
    unsigned char start[2];
    if (in.read(start, 2) != 2 || start[0] != kPadding || start[1] != kStartOfImage)
        return false;
    bool haveComment = false;
    while (sections_ < kMaxSections) {
        unsigned char marker = 0;
        if (!readMarker(in, marker))
            return false;
        unsigned char lengthBytes[2];
        if (in.read(lengthBytes, 2) != 2)
            return fail("invalid marker");
        const std::size_t length = (std::size_t{lengthBytes[0]} << 8) | lengthBytes[1];
        if (length < 2)
            return fail("invalid marker");
        const std::size_t bodySize = length - 2;
        if (!reserve(bodySize))
            return fail("Could not allocate memory");
        if (bodySize != 0 && in.read(buffer_.get(), bodySize) != bodySize)
            return fail("Premature end of file?");
        ++sections_;
        switch (marker) {
        case kStartOfScan:
            return true;
        case kEndOfImage:
            return fail("No image in jpeg!");
        case kApp1:
            if (bodySize >= 4 && std::memcmp(buffer_.get(), "Exif", 4) == 0)
                parseExifBody(buffer_.get(), bodySize, date_, errorText_);
            else
                --sections_;
            break;
        case kApp0:
            --sections_;
            break;
        case kComment:
            if (haveComment)
                --sections_;
            haveComment = true;
            break;
        default:
            break;
        }
    }
    return fail("Too many sections in jpg file");
}

bool readJpegHeader(ByteStream& in, DateTime& date) {
    JpegHeaderReader reader;
    const bool ok = reader.read(in);
    date = ok ? reader.date() : DateTime{};
    return ok;
}

} // namespace vantrel
