// The write-ahead journal of a rename batch: its writer, and what reads it
// (inspection, undo, emptying). The text itself is in JournalFormat.

#include "rename/Journal.h"

#include "platform/Random.h"
#include "rename/JournalFormat.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace vantrel {

namespace {

constexpr std::size_t kReadAll = std::numeric_limits<std::size_t>::max();

/// Creates the folders above `path` that are missing, each 0700.
Result makeParentFolders(FileSystem& fs, const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (Result r = fs.createFolder(folder, 0700); !r && r.error().code != EEXIST)
            return r;
    }
    return {};
}

/// Refuses to empty a file that is neither empty nor a journal: a mistyped
/// --journal must not destroy somebody's document.
Result checkIsJournal(JournalFile& file, const std::string& path, const char* operation) {
    std::string head;
    if (Result r = file.read(head, kJournalStem.size()); !r)
        return r;
    if (!journal::mayBeJournal(head))
        return Error{operation, path, "the file is not a rename journal", 0};
    return {};
}

/// A fresh batch identity: 64 random bits in hex.
std::string newBatchIdentity() {
    SystemRandom random;
    const std::uint64_t bits = std::uint64_t{random.next()} << 32 | random.next();
    constexpr char kHex[] = "0123456789abcdef";
    std::string out(16, '0');
    for (std::size_t i = 0; i < 16; ++i)
        out[15 - i] = kHex[(bits >> (4 * i)) & 0xF];
    return out;
}

/// Reads and parses the whole journal open in `file`; errors name `path`.
Result readContents(JournalFile& file, const std::string& path, JournalContents& out) {
    std::string text;
    if (Result r = file.read(text, kReadAll); !r)
        return r;
    Result r = parseJournal(text, out);
    if (!r) {
        Error error = r.error();
        error.path = path;
        return error;
    }
    return r;
}

} // namespace

FileJournal::FileJournal(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

FileJournal::~FileJournal() {
    if (file_)
        endBatch();
}

void FileJournal::close() {
    if (file_) {
        if (Result r = file_->finish(); !r && failure_.ok())
            failure_ = r;
    }
    file_.reset(); // and with it the lock
}

Result FileJournal::append(std::string_view bytes) {
    if (!failure_.ok())
        return failure_;
    if (!file_)
        return Error{"write journal", path_, "the journal is not open", 0};
    if (Result r = file_->append(bytes); !r) {
        failure_ = r;
        return r;
    }
    return {};
}

Result FileJournal::beginBatch() {
    close();
    failure_ = {};
    sequence_ = 0;
    current_ = false;
    pendingDone_ = false;
    logged_.clear();
    if (path_.empty())
        return Error{"open journal", "", "no journal path: the home folder is unknown", 0};
    std::unique_ptr<JournalFile> file;
    Result r = fs_.openJournal(path_, JournalAccess::Write, file);
    if (!r && r.error().code == ENOENT) {
        if (Result made = makeParentFolders(fs_, path_); !made)
            return made;
        r = fs_.openJournal(path_, JournalAccess::Write, file);
    }
    // Locked before it is emptied, so a batch running elsewhere keeps its
    // journal.
    if (r)
        r = checkIsJournal(*file, path_, "open journal");
    if (r)
        r = file->truncate();
    if (!r)
        return r;
    file_ = std::move(file);
    batch_ = newBatchIdentity();
    batchCrc_ = journal::crc32(batch_);
    buffer_.clear();
    std::string header(kJournalStem);
    header += kJournalVersion;
    header += '\t';
    header += batch_;
    journal::appendSealed(buffer_, {}, header);
    r = append(buffer_);
    if (!r)
        close();
    return r;
}

Result FileJournal::beforeRename(const UndoPair& pair) {
    if (!journal::isUsablePath(pair.oldPath) || !journal::isUsablePath(pair.newPath))
        return Error{"write journal", path_, "a path is not absolute or holds a NUL byte", 0};
    if (!pair.identity.known())
        return Error{"write journal", path_, "the entry's identity is not known", 0};
    buffer_.clear();
    // The previous pair's "renamed" rides along with this record, so a rename
    // costs one append, not two. Should the process die before it is written,
    // that pair is the only one unmarked, and the disk tells exactly whether
    // its rename happened: nothing of the batch came after.
    if (pendingDone_) {
        buffer_ += "D\t";
        journal::appendNumber(buffer_, pendingSequence_);
        journal::sealFrom(buffer_, 0, batchCrc_);
        pendingDone_ = false;
    }
    // Written into the buffer and sealed there: a batch writes 100,000 of them.
    const std::size_t start = buffer_.size();
    buffer_ += "R\t";
    journal::appendNumber(buffer_, sequence_);
    buffer_ += '\t';
    journal::appendNumber(buffer_, pair.identity.device);
    buffer_ += '\t';
    journal::appendNumber(buffer_, pair.identity.inode);
    buffer_ += '\t';
    journal::appendEscaped(buffer_, pair.oldPath);
    buffer_ += '\t';
    journal::appendEscaped(buffer_, pair.newPath);
    journal::sealFrom(buffer_, start, batchCrc_);
    current_ = false;
    if (Result r = append(buffer_); !r)
        return r;
    current_ = true;
    ++sequence_;
    return {};
}

Result FileJournal::appendTemporary(std::uint64_t number, const std::string& temporaryPath) {
    if (!journal::isUsablePath(temporaryPath))
        return Error{"write journal", path_, "a path is not absolute or holds a NUL byte", 0};
    std::string record = "T\t";
    journal::appendNumber(record, number);
    record += '\t';
    journal::appendEscaped(record, temporaryPath);
    buffer_.clear();
    journal::appendSealed(buffer_, batch_, record);
    return append(buffer_);
}

Result FileJournal::viaTemporary(const std::string& temporaryPath) {
    if (!current_)
        return Error{"write journal", path_, "no rename is being recorded", 0};
    return appendTemporary(sequence_ - 1, temporaryPath);
}

Result FileJournal::reversalVia(std::size_t pairIndex, const std::string& temporaryPath) {
    if (pairIndex >= logged_.size())
        return Error{"write journal", path_, "no such rename in the batch", 0};
    return appendTemporary(logged_[pairIndex], temporaryPath);
}

void FileJournal::appendMark(char kind, std::uint64_t number) {
    std::string mark(1, kind);
    mark += '\t';
    journal::appendNumber(mark, number);
    buffer_.clear();
    journal::appendSealed(buffer_, batch_, mark);
    (void)append(buffer_); // kept in failure_; the pair stays unmarked
}

void FileJournal::afterRename(RenameEffect effect) {
    if (!current_)
        return;
    current_ = false;
    switch (effect) {
    case RenameEffect::Renamed:
        pendingDone_ = true;
        pendingSequence_ = sequence_ - 1;
        logged_.push_back(sequence_ - 1);
        break;
    case RenameEffect::NotRenamed:
        // At once: the user may take long over the question that follows,
        // and a failed rename's target often exists (someone else's file).
        appendMark('F', sequence_ - 1);
        break;
    case RenameEffect::Unknown:
        // The disk tells: undo looks for the entry by its identity.
        logged_.push_back(sequence_ - 1);
        break;
    }
}

void FileJournal::endBatch() {
    if (!file_)
        return;
    if (pendingDone_)
        appendMark('D', pendingSequence_);
    pendingDone_ = false;
    current_ = false;
    appendMark('E', sequence_);
    close();
}

void FileJournal::batchReversed() {
    if (!file_)
        return;
    pendingDone_ = false;
    current_ = false;
    if (Result r = file_->truncate(); !r) {
        if (failure_.ok())
            failure_ = r;
        appendMark('E', sequence_); // kept: a later undo finds every entry back
    }
    close();
}

Result inspectJournal(FileSystem& fs, const std::string& path, JournalContents& out) {
    out = JournalContents{};
    std::unique_ptr<JournalFile> file;
    Result r = fs.openJournal(path, JournalAccess::ReadShared, file);
    bool held = false;
    if (!r && r.error().code == EWOULDBLOCK) {
        // Someone is at work on it: what it holds so far, read unlocked.
        held = true;
        r = fs.openJournal(path, JournalAccess::Read, file);
    }
    if (!r)
        return r.error().code == ENOENT ? Result() : r;
    r = readContents(*file, path, out);
    out.heldByOther = held;
    return r;
}

Result undoJournal(FileSystem& fs, const std::string& path, StatusSink& status, JournalUndo& out,
                   std::string_view batch) {
    out = JournalUndo{};
    std::unique_ptr<JournalFile> file;
    // Locked from the reading to the emptying: no batch can begin meanwhile
    // and lose its record.
    if (Result r = fs.openJournal(path, JournalAccess::Update, file); !r)
        return r.error().code == ENOENT ? Result() : r;
    if (Result r = readContents(*file, path, out.contents); !r)
        return r;
    if (!batch.empty() && out.contents.batch != batch)
        return Error{"undo", path, "the journal holds another batch now", 0};
    if (out.contents.log.empty())
        return {};
    // A reversal through a temporary name is recorded first, so that an undo
    // cut short there is settled by the next.
    const std::string& id = out.contents.batch;
    const std::vector<std::uint64_t>& sequences = out.contents.sequences;
    const auto onTemporary = [&](std::size_t index, const std::string& temporary) {
        std::string record = "T\t";
        journal::appendNumber(record, sequences[index]);
        record += '\t';
        journal::appendEscaped(record, temporary);
        std::string line;
        journal::appendSealed(line, id, record);
        return file->append(line);
    };
    UndoLog log = out.contents.log;
    out.outcome = undoRename(log, fs, status, onTemporary);
    if (Result r = file->truncate(); !r)
        return r;
    return file->finish();
}

Result clearJournal(FileSystem& fs, const std::string& path, std::string_view batch) {
    std::unique_ptr<JournalFile> file;
    if (Result r = fs.openJournal(path, JournalAccess::Update, file); !r)
        return r.error().code == ENOENT ? Result() : r;
    if (Result r = checkIsJournal(*file, path, "empty journal"); !r)
        return r;
    if (!batch.empty()) {
        JournalContents contents;
        if (Result r = readContents(*file, path, contents); !r)
            return r;
        if (contents.batch != batch)
            return Error{"empty journal", path, "the journal holds another batch now", 0};
    }
    return file->truncate();
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
