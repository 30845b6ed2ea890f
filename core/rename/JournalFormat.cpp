#include "rename/JournalFormat.h"

#include "rename/Journal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vantrel {

namespace journal {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";
constexpr std::size_t kBatchDigits = 16;

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

/// The byte table and seven more for eight bytes at a time ("slicing by
/// eight"): every record is checksummed, so this is on the batch's path.
constexpr CrcTables makeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (std::size_t t = 1; t < 8; ++t) {
        for (std::size_t i = 0; i < 256; ++i)
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
    return tables;
}

constexpr CrcTables kCrc = makeCrcTables();

bool needsEscape(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == '%';
}

/// Whether any of eight bytes may need escaping (below 0x20, DEL or "%").
/// May say yes for a word that needs none, never no for one that does.
bool wordMayNeedEscape(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const auto hasZeroByte = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
    const bool below20 = ((word - 0x20 * kOnes) & ~word & kHighs) != 0;
    return below20 || hasZeroByte(word ^ (0x7F * kOnes)) || hasZeroByte(word ^ ('%' * kOnes));
}

bool isLowerHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string checksumText(std::uint32_t crc) {
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, crc >>= 4)
        out[static_cast<std::size_t>(i)] = kLowerHex[crc & 0xF];
    return out;
}

/// The content of a sealed line whose checksum for `batch` holds; nothing
/// when it does not.
std::optional<std::string_view> unsealed(std::string_view line, std::string_view batch) {
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    const std::string_view sum = line.substr(tab + 1);
    const std::string_view content = line.substr(0, tab);
    if (sum.size() != 8 || !isLowerHex(sum) || checksumText(crc32(content, crc32(batch))) != sum)
        return std::nullopt;
    return content;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/// Decodes one path field; false on a malformed escape, a raw control byte
/// or a path that is not usable.
bool unescapePath(std::string_view field, std::string& out) {
    out.clear();
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '%') {
            if (i + 2 >= field.size())
                return false;
            const int high = hexValue(field[i + 1]);
            const int low = hexValue(field[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (needsEscape(static_cast<unsigned char>(c))) {
            return false;
        } else {
            out += c;
        }
    }
    return isUsablePath(out);
}

/// Strict decimal: no sign, no leading zero, at most 20 digits, within 64 bits.
bool parseNumber(std::string_view field, std::uint64_t& out) {
    if (field.empty() || field.size() > 20 || (field.size() > 1 && field.front() == '0'))
        return false;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), out);
    return ec == std::errc() && end == field.data() + field.size();
}

/// Splits a line at TABs into at most `max` fields; false when it has more.
bool splitFields(std::string_view line, std::string_view* fields, std::size_t max,
                 std::size_t& count) {
    count = 0;
    while (true) {
        if (count == max)
            return false;
        const std::size_t tab = line.find('\t');
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos)
            return true;
        line.remove_prefix(tab + 1);
    }
}

enum class Mark : std::uint8_t { None, Done, Failed, Conflict };

struct ReadPair {
    std::uint64_t sequence = 0;
    UndoPair pair;
    Mark mark = Mark::None;
};

/// The pairs read so far, in ascending sequence.
class PairTable {
public:
    /// False when `sequence` does not come after the last pair's.
    bool add(std::uint64_t sequence, UndoPair pair) {
        if (!pairs_.empty() && sequence <= pairs_.back().sequence)
            return false;
        pairs_.push_back({sequence, std::move(pair), Mark::None});
        return true;
    }
    ReadPair* find(std::uint64_t sequence) {
        // Marks follow their pair closely; look at the newest first.
        if (!pairs_.empty() && pairs_.back().sequence == sequence)
            return &pairs_.back();
        const auto it =
            std::lower_bound(pairs_.begin(), pairs_.end(), sequence,
                             [](const ReadPair& p, std::uint64_t s) { return p.sequence < s; });
        return it != pairs_.end() && it->sequence == sequence ? &*it : nullptr;
    }
    void moveInto(JournalContents& out) {
        for (ReadPair& p : pairs_) {
            if (p.mark == Mark::Failed)
                continue;
            p.pair.confirmed = p.mark == Mark::Done;
            out.log.add(std::move(p.pair));
            out.sequences.push_back(p.sequence);
        }
    }

private:
    std::vector<ReadPair> pairs_;
};

bool readRename(const std::string_view* fields, std::size_t count, std::uint64_t sequence,
                PairTable& table) {
    UndoPair pair;
    return count == 6 && parseNumber(fields[2], pair.identity.device) &&
           parseNumber(fields[3], pair.identity.inode) && pair.identity.known() &&
           unescapePath(fields[4], pair.oldPath) && unescapePath(fields[5], pair.newPath) &&
           table.add(sequence, std::move(pair));
}

/// Applies one record (its checksum already checked); false when it cannot
/// be read.
bool readRecord(std::string_view content, PairTable& table, bool& finished) {
    std::string_view fields[6];
    std::size_t count = 0;
    if (!splitFields(content, fields, 6, count) || count < 2 || fields[0].size() != 1)
        return false;
    std::uint64_t number = 0;
    if (!parseNumber(fields[1], number))
        return false;
    const char kind = fields[0].front();
    if (kind == 'R')
        return readRename(fields, count, number, table);
    if (kind == 'E') {
        if (count != 2)
            return false;
        finished = true;
        return true;
    }
    ReadPair* target = table.find(number);
    if (target == nullptr)
        return false;
    if (kind == 'T') {
        std::string temporary;
        if (count != 3 || target->mark != Mark::None || !unescapePath(fields[2], temporary))
            return false;
        target->pair.temporaryPath = std::move(temporary);
        return true;
    }
    if (count != 2 || (kind != 'D' && kind != 'F'))
        return false;
    const Mark mark = kind == 'D' ? Mark::Done : Mark::Failed;
    if (target->mark == Mark::None || target->mark == mark) {
        target->mark = mark;
        return true;
    }
    // Renamed and not renamed at once: the file is damaged; let the disk decide.
    target->mark = Mark::Conflict;
    return false;
}

std::string headerLine() {
    std::string line(kJournalStem);
    line += kJournalVersion;
    return line;
}

} // namespace

namespace {

/// The CRC register (not inverted) over `n` bytes, eight at a time.
std::uint32_t crcTables(std::uint32_t crc, const unsigned char* p, std::size_t n) {
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t low = crc ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                         std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        crc = kCrc[7][low & 0xFF] ^ kCrc[6][(low >> 8) & 0xFF] ^ kCrc[5][(low >> 16) & 0xFF] ^
              kCrc[4][low >> 24] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
    }
    for (; n > 0; ++p, --n)
        crc = kCrc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__)
/// The 128 bits folded 16 bytes on, with the next block added in.
__attribute__((target("pclmul,sse4.1"))) inline __m128i foldIn(__m128i x, __m128i by,
                                                               const unsigned char* block) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, by, 0x00), _mm_clmulepi64_si128(x, by, 0x11)),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(block)));
}

/// The CRC register over `n` bytes (at least 32) by carry-less multiplication,
/// folding 16 bytes at a time: no tables, which the kernel's work between two
/// records would have pushed out of the cache. The constants are those of the
/// reflected polynomial 0xEDB88320 (x^(128+32) and x^(128-32) mod P, x^64
/// mod P, then Barrett's mu and P).
__attribute__((target("pclmul,sse4.1"))) std::uint32_t
crcFolded(std::uint32_t crc, const unsigned char* p, std::size_t n) {
    // Zeros before the bytes leave a zero register as it is, and a starting
    // register is the same as those bytes xor-ed into the first four: so the
    // bytes are padded at the front to whole blocks and folded from zero.
    const std::size_t pad = (16 - n % 16) % 16;
    std::array<unsigned char, 32> head{};
    std::memcpy(head.data() + pad, p, 32 - pad);
    for (std::size_t i = 0; i < 4; ++i)
        head[pad + i] ^= static_cast<unsigned char>(crc >> (8 * i));
    const __m128i foldBy16 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    const __m128i foldTo32 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x = foldIn(_mm_loadu_si128(reinterpret_cast<const __m128i*>(head.data())), foldBy16,
                       head.data() + 16);
    for (std::size_t i = 32 - pad; i < n; i += 16)
        x = foldIn(x, foldBy16, p + i);
    // 128 bits to 64, then to 32 (each step also appends 32 zero bits).
    x = _mm_xor_si128(_mm_clmulepi64_si128(foldBy16, x, 0x01), _mm_srli_si128(x, 8));
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), foldTo32, 0x00),
                      _mm_srli_si128(x, 4));
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10), low32);
    t = _mm_clmulepi64_si128(t, barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

bool canFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}
#endif

} // namespace

std::uint32_t crc32Tables(std::string_view bytes, std::uint32_t crc) {
    return ~crcTables(~crc, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::uint32_t crc32(std::string_view bytes, std::uint32_t crc) {
    crc = ~crc;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
#if defined(__x86_64__)
    if (n >= 32 && canFold())
        return ~crcFolded(crc, p, n);
#endif
    return ~crcTables(crc, p, n);
}

void appendEscaped(std::string& out, std::string_view text) {
    // Names rarely need escaping: runs of plain bytes are found eight at a
    // time and appended whole.
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + i, 8);
            if (!wordMayNeedEscape(word)) {
                i += 8;
                continue;
            }
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (needsEscape(byte)) {
            out.append(text.substr(start, i - start));
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
            start = i + 1;
        }
        ++i;
    }
    out.append(text.substr(start));
}

void appendNumber(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(digits, end);
}

void appendSealed(std::string& out, std::string_view batch, std::string_view content) {
    const std::size_t start = out.size();
    out.append(content);
    sealFrom(out, start, crc32(batch));
}

void sealFrom(std::string& out, std::size_t start, std::uint32_t batchCrc) {
    const std::uint32_t crc = crc32(std::string_view(out).substr(start), batchCrc);
    out += '\t';
    out += checksumText(crc);
    out += '\n';
}

bool isUsablePath(std::string_view path) {
    return !path.empty() && path.front() == '/' && path.find('\0') == std::string_view::npos;
}

bool mayBeJournal(std::string_view head) {
    // A writer that died right after reserving space leaves only zeros.
    head = head.substr(0, head.find_last_not_of('\0') + 1);
    return kJournalStem.starts_with(head) || head.starts_with(kJournalStem);
}

std::string batchOfHeader(std::string_view line) {
    const std::optional<std::string_view> content = unsealed(line, {});
    const std::string expected = headerLine() + "\t";
    if (!content || !content->starts_with(expected))
        return {};
    const std::string_view batch = content->substr(expected.size());
    if (batch.size() != kBatchDigits || !isLowerHex(batch))
        return {};
    return std::string(batch);
}

} // namespace journal

std::string sealJournalLine(std::string_view batch, std::string_view content) {
    std::string out;
    journal::appendSealed(out, batch, content);
    return out;
}

Result parseJournal(std::string_view text, JournalContents& out) {
    out = JournalContents{};
    // Space a writer reserved ahead reads as zeros after its last record.
    const std::size_t used = text.find_last_not_of('\0');
    const std::string_view records = used == std::string_view::npos ? "" : text.substr(0, used + 1);
    if (records.empty())
        return {};
    const std::size_t headerEnd = records.find('\n');
    if (headerEnd == std::string_view::npos) {
        // Cut short while the header was written: the batch touched nothing.
        if (!journal::mayBeJournal(records))
            return Error{"read journal", "", "the file is not a rename journal", 0};
        out.damage.tornTail = true;
        return {};
    }
    const std::string_view header = records.substr(0, headerEnd);
    if (!header.starts_with(kJournalStem))
        return Error{"read journal", "", "the file is not a rename journal", 0};
    const std::string_view version =
        header.substr(kJournalStem.size(), header.find('\t') - kJournalStem.size());
    if (version != kJournalVersion)
        return Error{"read journal", "",
                     "the journal's version (" + std::string(version) +
                         ") is not the one this program reads",
                     0};
    out.batch = journal::batchOfHeader(header);
    if (out.batch.empty())
        return Error{"read journal", "", "the journal's header is damaged", 0};

    journal::PairTable table;
    std::string_view rest = records.substr(headerEnd + 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            // The last write was cut short: its rename was never tried.
            out.damage.tornTail = true;
            break;
        }
        const std::optional<std::string_view> content =
            journal::unsealed(rest.substr(0, end), out.batch);
        if (!content || !journal::readRecord(*content, table, out.finished))
            ++out.damage.lines;
        rest.remove_prefix(end + 1);
    }
    table.moveInto(out);
    return {};
}

} // namespace vantrel
