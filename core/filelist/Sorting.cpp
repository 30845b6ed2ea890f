#include "filelist/Sorting.h"

#include "platform/LocalTime.h"
#include "platform/Random.h"
#include "text/Utf8Text.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace vantrel {
namespace {

enum Column : int {
    kName = 0,
    kNewName = 1,
    kSubDir = 2,
    kType = 3,
    kSize = 4,
    kCreated = 5,
    kModified = 6,
    kLength = 7,
    kTaken = 8,
};

/// Where a date that cannot be converted sorts: before every real instant.
constexpr std::int64_t kNoInstant = std::numeric_limits<std::int64_t>::min();

template <typename T>
int compareValues(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

constexpr bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

char32_t fold(char32_t c) {
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return text::foldCase(c);
}

void foldInto(std::string_view bytes, std::u32string& chars) {
    chars.clear();
    text::decodeAppend(bytes, chars);
    for (char32_t& c : chars)
        c = fold(c);
}

/// The end of the digit run starting at `i`, and in `start` its first
/// significant digit (leading zeros carry no value).
std::size_t digitRun(std::u32string_view chars, std::size_t i, std::size_t& start) {
    while (i < chars.size() && chars[i] == U'0')
        ++i;
    start = i;
    while (i < chars.size() && isDigit(chars[i]))
        ++i;
    return i;
}

// Sort keys. Each text becomes a byte string whose plain byte order is the
// order of compareIgnoreCase or naturalCompare, so a sort folds each name once
// and then compares memory only. The natural order's leading zeros decide
// only between otherwise equal texts, so they go into a second key of their
// own, compared when the first ties.

/// UTF-8 form of any code point up to U+10FFFF, surrogates included (they
/// stand for invalid bytes): byte order then equals code point order.
void appendOrdered(char32_t c, std::string& out) {
    char bytes[4];
    out.append(bytes, text::putUtf8(c, bytes));
}

/// A digit run: the byte "0" (so it stands between "/" and ":" as in
/// naturalCompare), the count of significant digits, order-preserving and
/// prefix-free (one byte below 255, else 255 and eight bytes big-endian),
/// then the digits.
void appendNumber(std::u32string_view digits, std::string& out) {
    out.push_back('0');
    const std::size_t count = digits.size();
    if (count < 255) {
        out.push_back(static_cast<char>(count));
    } else {
        out.push_back(static_cast<char>(255));
        for (int shift = 56; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>((std::uint64_t{count} >> shift) & 0xFF));
    }
    for (const char32_t d : digits)
        out.push_back(static_cast<char>(d));
}

/// A run's count of leading zeros, more zeros first: one byte 254 - count
/// below 254, else 0 and the complement of the count in eight bytes
/// big-endian (order-reversing and prefix-free).
void appendZeros(std::size_t count, std::string& out) {
    if (count < 254) {
        out.push_back(static_cast<char>(254 - count));
        return;
    }
    out.push_back(0);
    const std::uint64_t reversed = ~std::uint64_t{count};
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((reversed >> shift) & 0xFF));
}

class KeyBuilder {
public:
    void appendPlain(std::string_view bytes, std::string& out) {
        if (text::isAscii(bytes)) {
            for (const char ch : bytes)
                out.push_back(static_cast<char>(fold(static_cast<unsigned char>(ch))));
            return;
        }
        foldInto(bytes, chars_);
        for (const char32_t c : chars_)
            appendOrdered(c, out);
    }

    /// The natural key into `out`, the leading zeros of its runs into `zeros`.
    void appendNatural(std::string_view bytes, std::string& out, std::string& zeros) {
        foldInto(bytes, chars_);
        const std::u32string_view chars = chars_;
        std::size_t i = 0;
        while (i < chars.size()) {
            if (isDigit(chars[i])) {
                std::size_t start = 0;
                const std::size_t end = digitRun(chars, i, start);
                appendNumber(chars.substr(start, end - start), out);
                appendZeros(start - i, zeros);
                i = end;
            } else {
                appendOrdered(chars[i], out);
                ++i;
            }
        }
    }

private:
    std::u32string chars_; ///< reused, so that keys cost no allocation each
};

std::int64_t instantOf(const DateTime& date, LocalTime& localTime) {
    std::int64_t seconds = 0;
    return localTime.toSeconds(date, seconds) ? seconds : kNoInstant;
}

/// Entries without a usable date taken sort as the local start of 1970.
std::int64_t takenInstant(const FileEntry& entry, LocalTime& localTime) {
    if (entry.hasDateTaken && entry.dateTaken.year != 0)
        return instantOf(entry.dateTaken, localTime);
    return instantOf(DateTime{1970, 1, 0, 1, 0, 0, 0, 0}, localTime);
}

int compareText(std::string_view a, std::string_view b, const SortState& state) {
    return state.xpStyle != 0 ? naturalCompare(a, b) : compareIgnoreCase(a, b);
}

int compareColumn(const FileEntry& a, const FileEntry& b, const SortState& state) {
    LocalTime localTime;
    switch (state.column) {
    case kName:
        if (a.isFolder() != b.isFolder())
            return a.isFolder() ? -1 : 1;
        return compareText(a.name(), b.name(), state);
    case kNewName:
        return compareText(a.newName(), b.newName(), state);
    case kSubDir:
        return compareText(a.subDir(), b.subDir(), state);
    case kType:
        return compareIgnoreCase(a.typeName, b.typeName);
    case kSize:
        // Compared, not subtracted: a difference could overflow.
        return compareValues(a.size, b.size);
    case kCreated:
        return compareValues(instantOf(a.created, localTime), instantOf(b.created, localTime));
    case kModified:
        return compareValues(instantOf(a.modified, localTime), instantOf(b.modified, localTime));
    case kLength:
        return compareValues(a.newNameLength(), b.newNameLength());
    case kTaken:
        return compareValues(takenInstant(a, localTime), takenInstant(b, localTime));
    default:
        return 0;
    }
}

/// One row's precomputed sort key: a number, then text bytes in `keys`,
/// whose first sixteen bytes are also held in `prefix` (big-endian, zero
/// padded) so that most comparisons never touch the text, then the bytes of
/// the tie-break (the natural order's leading zeros) right after the text.
struct SortItem {
    std::int64_t number = 0;
    std::uint64_t prefix[2] = {0, 0};
    std::size_t offset = 0;
    std::size_t length = 0;
    std::size_t tieLength = 0;
    std::size_t index = 0;
};

const FileEntry& rowAt(const std::vector<FileEntry>& rows, std::size_t i) {
    return rows[i];
}
const FileEntry& rowAt(const std::vector<FileEntry*>& rows, std::size_t i) {
    return *rows[i];
}
const FileEntry& rowAt(const std::vector<const FileEntry*>& rows, std::size_t i) {
    return *rows[i];
}

/// Eight key bytes from `from` on, big-endian, zero padded.
std::uint64_t wordAt(std::string_view key, std::size_t from) {
    std::uint64_t word = 0;
    for (std::size_t i = from; i < from + 8; ++i) {
        const std::uint64_t byte = i < key.size() ? static_cast<unsigned char>(key[i]) : 0;
        word = word << 8 | byte;
    }
    return word;
}

/// The keys of every row for the sort column, in the order of compareColumn.
template <typename Rows>
std::vector<SortItem> makeItems(const Rows& rows, const SortState& state, std::string& keys) {
    const bool natural = state.xpStyle != 0 && state.column != kType;
    KeyBuilder builder;
    LocalTime localTime;
    std::string zeros;
    std::vector<SortItem> items(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FileEntry& row = rowAt(rows, i);
        SortItem& item = items[i];
        item.index = i;
        std::string_view text;
        switch (state.column) {
        case kName:
            item.number = row.isFolder() ? 0 : 1;
            text = row.name();
            break;
        case kNewName:
            text = row.newName();
            break;
        case kSubDir:
            text = row.subDir();
            break;
        case kType:
            text = row.typeName;
            break;
        case kSize:
            item.number = row.size;
            break;
        case kCreated:
            item.number = instantOf(row.created, localTime);
            break;
        case kModified:
            item.number = instantOf(row.modified, localTime);
            break;
        case kLength:
            item.number = row.newNameLength();
            break;
        default: // kTaken; other columns never get here
            item.number = takenInstant(row, localTime);
            break;
        }
        item.offset = keys.size();
        zeros.clear();
        if (natural)
            builder.appendNatural(text, keys, zeros);
        else
            builder.appendPlain(text, keys);
        item.length = keys.size() - item.offset;
        const std::string_view key = std::string_view(keys).substr(item.offset);
        item.prefix[0] = wordAt(key, 0);
        item.prefix[1] = wordAt(key, 8);
        keys += zeros;
        item.tieLength = zeros.size();
    }
    return items;
}

} // namespace

bool setSortColumn(SortState& state, int column, bool flag) {
    if (column < 0 || column >= kSortColumnCount)
        column = 0;
    if (state.column == -1) {
        state.column = column;
        state.ascending = flag ? 1 : 0;
    } else if (column == state.column) {
        state.ascending = state.ascending != 0 ? 0 : 1;
    } else {
        state.ascending = 1;
        state.column = column;
    }
    state.random = 0;
    return flag;
}

int compareIgnoreCase(std::string_view a, std::string_view b) {
    if (text::isAscii(a) && text::isAscii(b)) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const char32_t ca = fold(static_cast<unsigned char>(a[i]));
            const char32_t cb = fold(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
        return compareValues(a.size(), b.size());
    }
    std::u32string fa;
    std::u32string fb;
    foldInto(a, fa);
    foldInto(b, fb);
    const int c = fa.compare(fb);
    return compareValues(c, 0);
}

// Leading zeros decide only between texts that are otherwise equal (the
// first run where their counts differ, the run with more zeros first), so
// "a01b2" sorts between "a1b1" and "a1b2". Comparing the folded token
// sequences first and the zero counts second is a lexicographic order of two
// strict weak orders, and so one itself; only letter case is left to tie.
int naturalCompare(std::string_view a, std::string_view b) {
    std::u32string fa;
    std::u32string fb;
    foldInto(a, fa);
    foldInto(b, fb);
    const std::u32string_view ca = fa;
    const std::u32string_view cb = fb;
    std::size_t i = 0;
    std::size_t j = 0;
    int zeros = 0; // the first difference in leading zeros, if any
    while (i < ca.size() && j < cb.size()) {
        if (isDigit(ca[i]) && isDigit(cb[j])) {
            std::size_t startA = 0;
            std::size_t startB = 0;
            const std::size_t endA = digitRun(ca, i, startA);
            const std::size_t endB = digitRun(cb, j, startB);
            // Without leading zeros the longer run is the larger number.
            int c = compareValues(endA - startA, endB - startB);
            if (c == 0)
                c = compareValues(
                    ca.substr(startA, endA - startA).compare(cb.substr(startB, endB - startB)), 0);
            if (c != 0)
                return c;
            if (zeros == 0)
                zeros = compareValues(startB - j, startA - i);
            i = endA;
            j = endB;
            continue;
        }
        // A digit run against another character sorts as "0" would; the
        // other character is no digit, so they never tie.
        const char32_t x = isDigit(ca[i]) ? U'0' : ca[i];
        const char32_t y = isDigit(cb[j]) ? U'0' : cb[j];
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    const int c = compareValues(i < ca.size(), j < cb.size());
    return c != 0 ? c : zeros;
}

int compareEntries(const FileEntry& a, const FileEntry& b, const SortState& state) {
    // A random order is a shuffle; a comparison that answered at random
    // would break the sort's contract.
    if (state.random != 0)
        return 0;
    const int c = compareColumn(a, b, state);
    return state.ascending != 0 ? c : -c;
}

namespace {

/// Sorts by a total order; a big list is sorted in two halves on two
/// threads and merged, which gives the same order (the order is total).
template <typename Item, typename Before>
void sortShared(std::vector<Item>& items, const Before& before) {
    constexpr std::size_t kWorthAThread = 20'000;
    if (items.size() < kWorthAThread || std::thread::hardware_concurrency() < 2) {
        std::sort(items.begin(), items.end(), before);
        return;
    }
    const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
    std::thread helper;
    try {
        helper = std::thread([&] { std::sort(items.begin(), middle, before); });
    } catch (const std::system_error&) {
        std::sort(items.begin(), middle, before); // no thread to spare
    }
    std::sort(middle, items.end(), before);
    if (helper.joinable())
        helper.join();
    std::inplace_merge(items.begin(), middle, items.end(), before);
}

} // namespace

namespace {

/// The rows' keys in sorted order (each item's `index` is its row). With
/// `tied`, per position, whether its key equals the one before it.
template <typename Rows>
std::vector<SortItem> sortedItems(const Rows& rows, const SortState& state,
                                  std::vector<char>* tied = nullptr) {
    std::string keys;
    std::vector<SortItem> items = makeItems(rows, state, keys);
    const char* const base = keys.data();
    // -1, 0 or 1 by the keys; a differing prefix decides as the whole text would.
    const auto compareKeys = [base](const SortItem& x, const SortItem& y) {
        if (x.number != y.number)
            return x.number < y.number ? -1 : 1;
        for (int w = 0; w < 2; ++w) {
            if (x.prefix[w] != y.prefix[w])
                return x.prefix[w] < y.prefix[w] ? -1 : 1;
        }
        const int c = std::string_view(base + x.offset, x.length)
                          .compare(std::string_view(base + y.offset, y.length));
        if (c != 0 || (x.tieLength | y.tieLength) == 0)
            return c;
        return std::string_view(base + x.offset + x.length, x.tieLength)
            .compare(std::string_view(base + y.offset + y.length, y.tieLength));
    };
    // Tied rows keep their present order in both directions: the old index
    // decides last, which makes the order total, so the faster unstable sort
    // gives the stable result.
    const bool ascending = state.ascending != 0;
    const auto before = [&compareKeys, ascending](const SortItem& x, const SortItem& y) {
        const int c = compareKeys(x, y);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return x.index < y.index;
    };
    sortShared(items, before);
    if (tied != nullptr) {
        tied->assign(items.size(), 0);
        for (std::size_t k = 1; k < items.size(); ++k)
            (*tied)[k] = compareKeys(items[k - 1], items[k]) == 0 ? 1 : 0;
    }
    return items;
}

/// By "Sub Dir.": the rows of one folder share their key, so the folders are
/// put in order, each keeping its rows in their present order (rows of
/// folders whose keys tie are merged by it), as sorting every row would.
template <typename Rows>
std::vector<std::size_t> orderByFolder(const Rows& rows, const SortState& state) {
    const std::size_t n = rows.size();
    std::vector<const FileEntry*> heads; // each folder's first row
    std::vector<std::uint32_t> groupOf(n);
    std::unordered_map<const EntryFolder*, std::uint32_t> groups;
    const EntryFolder* last = nullptr;
    std::uint32_t lastGroup = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const FileEntry& row = rowAt(rows, i);
        const EntryFolder* folder = row.folder().get();
        if (i == 0 || folder != last) {
            const auto [at, added] =
                groups.try_emplace(folder, static_cast<std::uint32_t>(heads.size()));
            if (added)
                heads.push_back(&row);
            lastGroup = at->second;
            last = folder;
        }
        groupOf[i] = lastGroup;
    }
    std::vector<char> tied;
    const std::vector<SortItem> items = sortedItems(heads, state, &tied);
    // Each folder's rows, in their present order, one folder after another.
    std::vector<std::size_t> start(heads.size() + 1, 0);
    for (const std::uint32_t g : groupOf)
        ++start[g + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::size_t> rowsOf(n);
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
        rowsOf[fill[groupOf[i]]++] = i;
    std::vector<std::size_t> order;
    order.reserve(n);
    for (std::size_t k = 0; k < items.size();) {
        std::size_t end = k + 1;
        while (end < items.size() && tied[end] != 0)
            ++end;
        const auto from = static_cast<std::ptrdiff_t>(order.size());
        for (std::size_t j = k; j < end; ++j) {
            const std::size_t g = items[j].index;
            order.insert(order.end(), rowsOf.begin() + static_cast<std::ptrdiff_t>(start[g]),
                         rowsOf.begin() + static_cast<std::ptrdiff_t>(start[g + 1]));
        }
        if (end - k > 1)
            std::sort(order.begin() + from, order.end());
        k = end;
    }
    return order;
}

template <typename Rows>
std::vector<std::size_t> orderOf(const Rows& rows, const SortState& state, RandomSource& random) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (state.random != 0) {
        std::shuffle(order.begin(), order.end(), RandomBits(random));
        return order;
    }
    if (state.column < 0 || state.column >= kSortColumnCount)
        return order;
    if (state.column == kSubDir)
        return orderByFolder(rows, state);
    const std::vector<SortItem> items = sortedItems(rows, state);
    for (std::size_t k = 0; k < items.size(); ++k)
        order[k] = items[k].index;
    return order;
}

} // namespace

std::vector<std::size_t> sortOrder(const std::vector<FileEntry>& rows, const SortState& state,
                                   RandomSource& random) {
    return orderOf(rows, state, random);
}

std::vector<std::size_t> sortOrder(const std::vector<FileEntry*>& rows, const SortState& state,
                                   RandomSource& random) {
    return orderOf(rows, state, random);
}

} // namespace vantrel
