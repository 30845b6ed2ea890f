// The write-ahead journal of a rename batch, and its reader.
//
// Format: text lines ending in LF. The first line is kJournalHeader; then
//   R<TAB>n<TAB>old path<TAB>new path   pair n is about to be renamed
//   T<TAB>n<TAB>temporary path          pair n moves through this name (the
//                                       latest such line counts)
//   D<TAB>n                             pair n was renamed
//   F<TAB>n                             pair n failed: nothing happened
// n counts the batch's pairs from 0 in decimal. In paths, every control byte
// (TAB and LF among them), DEL and "%" are written as "%" and two upper-case
// hex digits; every other byte is written as it is, so any name, valid UTF-8
// or not, comes back byte for byte.

#include "rename/Journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vantrel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::string_view kHeaderStem = "vantrel rename journal ";

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

/// A path the reader accepts: absolute, without NUL (which would cut it short
/// at the system call and so name another file).
bool isUsablePath(std::string_view path) {
    return !path.empty() && path.front() == '/' && path.find('\0') == std::string_view::npos;
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

/// Strict decimal: no sign, no leading zero, at most 19 digits.
bool parseSequence(std::string_view field, std::uint64_t& out) {
    if (field.empty() || field.size() > 19 || (field.size() > 1 && field.front() == '0'))
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
    void moveInto(UndoLog& out) {
        for (ReadPair& p : pairs_) {
            if (p.mark == Mark::Failed)
                continue;
            p.pair.confirmed = p.mark == Mark::Done;
            out.add(std::move(p.pair));
        }
    }

private:
    std::vector<ReadPair> pairs_;
};

/// Applies one complete record line; false when it cannot be read.
bool readRecord(std::string_view line, PairTable& table) {
    std::string_view fields[4];
    std::size_t count = 0;
    if (!splitFields(line, fields, 4, count) || count < 2 || fields[0].size() != 1)
        return false;
    std::uint64_t sequence = 0;
    if (!parseSequence(fields[1], sequence))
        return false;
    const char kind = fields[0].front();
    if (kind == 'R') {
        UndoPair pair;
        return count == 4 && unescapePath(fields[2], pair.oldPath) &&
               unescapePath(fields[3], pair.newPath) && table.add(sequence, std::move(pair));
    }
    ReadPair* target = table.find(sequence);
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
    // Done and failed at once: the file is damaged; let the disk decide.
    target->mark = Mark::Conflict;
    return false;
}

/// Creates the folders above `path` that are missing, each 0700.
Result makeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return Result::fromErrno("create folder", folder, errno);
    }
    return {};
}

/// Locks the open journal `fd` for this process; fails when another holds it.
Result lockJournal(int fd, int operation, const std::string& path) {
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return Error{"lock journal", path, "another rename batch is using it", EWOULDBLOCK};
        return Result::fromErrno("lock journal", path, errno);
    }
    return {};
}

/// Refuses to empty a file that is neither empty nor a journal: a mistyped
/// --journal must not destroy somebody's document.
Result checkIsJournal(int fd, const std::string& path, const char* operation) {
    char head[kHeaderStem.size()];
    ssize_t got = 0;
    do {
        got = ::pread(fd, head, sizeof head, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return Result::fromErrno(operation, path, errno);
    const std::string_view start(head, static_cast<std::size_t>(got));
    if (got > 0 && !kHeaderStem.starts_with(start) && !start.starts_with(kHeaderStem))
        return Error{operation, path, "the file is not a rename journal", 0};
    return {};
}

} // namespace

FileJournal::FileJournal(std::string path, Writing writing)
    : path_(std::move(path)), writing_(writing) {}

FileJournal::~FileJournal() {
    if (fd_ >= 0)
        endBatch();
}

void FileJournal::close() {
    if (map_ != nullptr) {
        ::munmap(map_, mapSize_);
        map_ = nullptr;
        // The reserved zeros are cut off: the file ends with its last record.
        if (::ftruncate(fd_, static_cast<off_t>(used_)) != 0 && failure_.ok())
            failure_ = Result::fromErrno("write journal", path_, errno);
    }
    mapSize_ = 0;
    used_ = 0;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int FileJournal::mapFile(std::size_t capacity) {
    // Blocks are reserved first, so a full disk is an error here and never a
    // fault when a record is stored into the mapping.
    if (const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(capacity)); error != 0)
        return error;
    void* map = map_ == nullptr
                    ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0)
                    : ::mremap(map_, mapSize_, capacity, MREMAP_MAYMOVE);
    if (map == MAP_FAILED)
        return errno;
    // Pages are made present in one go rather than one fault per page as
    // records fill them; where the kernel cannot, they fault in as usual.
    (void)::madvise(static_cast<char*>(map) + mapSize_, capacity - mapSize_, MADV_POPULATE_WRITE);
    map_ = static_cast<char*>(map);
    mapSize_ = capacity;
    return 0;
}

Result FileJournal::append(std::string_view bytes) {
    if (!failure_.ok())
        return failure_;
    if (fd_ < 0)
        return Error{"write journal", path_, "the journal is not open", 0};
    if (map_ != nullptr) {
        // A store into a shared mapping of the file is in the kernel's page
        // cache at once, as a write() would be, and costs no system call. The
        // unused rest of the file is zeros; the reader stops at the first zero
        // byte, which a record never holds, so a record cut short by the
        // process dying is seen as a torn last line.
        if (used_ + bytes.size() > mapSize_) {
            const int error = mapFile(std::max(mapSize_ * 2, used_ + bytes.size() + kMapStep));
            if (error != 0) {
                failure_ = Result::fromErrno("write journal", path_, error);
                return failure_;
            }
        }
        std::memcpy(map_ + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return {};
    }
    // One write() in the normal case; a short write goes on with the rest,
    // since a record cut short is only harmless as the file's last line.
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = Result::fromErrno("write journal", path_, n < 0 ? errno : EIO);
            return failure_;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

Result FileJournal::beginBatch() {
    close();
    failure_ = {};
    sequence_ = 0;
    current_ = false;
    pendingDone_ = false;
    if (path_.empty())
        return Error{"open journal", "", "no journal path: the home folder is unknown", 0};
    constexpr int kFlags = O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC; // read: the header check
    int fd = ::open(path_.c_str(), kFlags, 0600);
    if (fd < 0 && errno == ENOENT) {
        if (Result made = makeParentFolders(path_); !made)
            return made;
        fd = ::open(path_.c_str(), kFlags, 0600);
    }
    if (fd < 0)
        return Result::fromErrno("open journal", path_, errno);
    // Locked before it is emptied, so a batch running elsewhere keeps its
    // journal; the lock goes with the process, however it ends.
    Result r = lockJournal(fd, LOCK_EX, path_);
    if (r)
        r = checkIsJournal(fd, path_, "open journal");
    if (r && ::ftruncate(fd, 0) != 0)
        r = Result::fromErrno("empty journal", path_, errno);
    if (!r) {
        ::close(fd);
        return r;
    }
    fd_ = fd;
    buffer_.assign(kJournalHeader);
    buffer_ += '\n';
    r = append(buffer_);
    if (!r) {
        close();
        return r;
    }
    // Records go through a mapping of the file where the file system allows
    // it, else through write(): both are in the kernel the moment they are made.
    used_ = buffer_.size();
    if (writing_ != Writing::Mapped || mapFile(kMapStep) != 0)
        used_ = 0;
    return r;
}

Result FileJournal::beforeRename(const UndoPair& pair) {
    if (!isUsablePath(pair.oldPath) || !isUsablePath(pair.newPath))
        return Error{"write journal", path_, "a path is not absolute or holds a NUL byte", 0};
    buffer_.clear();
    // The previous pair's "done" rides along with this record, so a rename
    // costs one write(), not two. Should the process die before it is
    // written, that pair is the only one unmarked, and the disk tells
    // exactly whether its rename happened: nothing of the batch came after.
    if (pendingDone_) {
        buffer_ += "D\t";
        appendNumber(buffer_, pendingSequence_);
        buffer_ += '\n';
        pendingDone_ = false;
    }
    buffer_ += "R\t";
    appendNumber(buffer_, sequence_);
    buffer_ += '\t';
    appendEscaped(buffer_, pair.oldPath);
    buffer_ += '\t';
    appendEscaped(buffer_, pair.newPath);
    buffer_ += '\n';
    current_ = false;
    if (Result r = append(buffer_); !r)
        return r;
    current_ = true;
    ++sequence_;
    return {};
}

Result FileJournal::viaTemporary(const std::string& temporaryPath) {
    if (!current_)
        return Error{"write journal", path_, "no rename is being recorded", 0};
    if (!isUsablePath(temporaryPath))
        return Error{"write journal", path_, "a path is not absolute or holds a NUL byte", 0};
    buffer_.assign("T\t");
    appendNumber(buffer_, sequence_ - 1);
    buffer_ += '\t';
    appendEscaped(buffer_, temporaryPath);
    buffer_ += '\n';
    return append(buffer_);
}

void FileJournal::appendMark(char kind, std::uint64_t sequence) {
    buffer_.assign(1, kind);
    buffer_ += '\t';
    appendNumber(buffer_, sequence);
    buffer_ += '\n';
    (void)append(buffer_); // kept in failure_; the pair stays unmarked
}

void FileJournal::afterRename(bool succeeded) {
    if (!current_)
        return;
    current_ = false;
    if (succeeded) {
        pendingDone_ = true;
        pendingSequence_ = sequence_ - 1;
    } else {
        // At once: the user may take long over the question that follows,
        // and a failed rename's target often exists (someone else's file),
        // which the disk alone could not tell from a rename that happened.
        appendMark('F', sequence_ - 1);
    }
}

void FileJournal::endBatch() {
    if (pendingDone_)
        appendMark('D', pendingSequence_);
    pendingDone_ = false;
    current_ = false;
    close();
}

Result parseJournal(std::string_view text, UndoLog& out, JournalDamage* damage) {
    // A journal whose writer died keeps its reserved zeros: the records end
    // at the first zero byte (a record never holds one: it is escaped).
    text = text.substr(0, text.find('\0'));
    JournalDamage seen;
    const std::size_t headerEnd = text.find('\n');
    const std::string_view header = text.substr(0, headerEnd);
    if (headerEnd == std::string_view::npos) {
        // Cut short while the header was written: the batch touched nothing.
        if (!kJournalHeader.starts_with(text))
            return Error{"read journal", "", "the file is not a rename journal", 0};
        seen.tornTail = !text.empty();
        if (damage != nullptr)
            *damage = seen;
        return {};
    }
    if (header != kJournalHeader) {
        const bool otherVersion = header.starts_with(kHeaderStem);
        return Error{"read journal", "",
                     otherVersion ? "the journal's version is not supported"
                                  : "the file is not a rename journal",
                     0};
    }
    PairTable table;
    std::string_view rest = text.substr(headerEnd + 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            // The last write was cut short: its rename was never tried.
            seen.tornTail = true;
            break;
        }
        if (!readRecord(rest.substr(0, end), table))
            ++seen.lines;
        rest.remove_prefix(end + 1);
    }
    table.moveInto(out);
    if (damage != nullptr)
        *damage = seen;
    return {};
}

Result readJournal(const std::string& path, UndoLog& out, JournalDamage* damage) {
    if (damage != nullptr)
        *damage = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Result() : Result::fromErrno("open journal", path, errno);
    std::string text;
    Result r = lockJournal(fd, LOCK_SH, path);
    struct stat info {};
    if (r && ::fstat(fd, &info) != 0)
        r = Result::fromErrno("read journal", path, errno);
    if (r && !S_ISREG(info.st_mode))
        r = Error{"read journal", path, "not a regular file", 0};
    if (r) {
        text.resize(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)));
        std::size_t filled = 0;
        while (true) {
            if (filled == text.size())
                text.resize(text.size() + 65536);
            const ssize_t n = ::read(fd, text.data() + filled, text.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                r = Result::fromErrno("read journal", path, errno);
                break;
            }
            if (n == 0)
                break;
            filled += static_cast<std::size_t>(n);
        }
        text.resize(filled);
    }
    ::close(fd);
    if (!r)
        return r;
    r = parseJournal(text, out, damage);
    if (!r) {
        Error error = r.error();
        error.path = path;
        return error;
    }
    return r;
}

Result clearJournal(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Result() : Result::fromErrno("open journal", path, errno);
    Result r = lockJournal(fd, LOCK_EX, path);
    if (r)
        r = checkIsJournal(fd, path, "empty journal");
    if (r && ::ftruncate(fd, 0) != 0)
        r = Result::fromErrno("empty journal", path, errno);
    ::close(fd);
    return r;
}

std::string defaultJournalPath() {
    std::string base;
    // Relative values are to be ignored, as the base directory rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] == '/') {
            base = home;
        } else {
            struct passwd entry {};
            struct passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
                found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
                return {};
            base = found->pw_dir;
        }
        base += "/.local/state";
    }
    return base + "/vantrel/last-batch.journal";
}

} // namespace vantrel
