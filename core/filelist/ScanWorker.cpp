#include "filelist/ScanWorker.h"

#include "filelist/JpegHeaderReader.h"
#include "filelist/Sorting.h"
#include "filelist/WildcardMatch.h"
#include "platform/BackgroundQueue.h"
#include "platform/LocalTime.h"
#include "text/Utf8Text.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace vantrel {

ScanRequest makeScanRequest(const RenameCriteria& criteria, const Preferences& preferences,
                            std::string_view root) {
    ScanRequest request;
    request.root = root.empty() ? std::string() : normaliseFolderPath(root);
    request.filter = criteria.filter;
    request.includeFiles = criteria.includeFiles;
    request.includeFolders = criteria.includeFolders;
    request.recursive = criteria.recursive;
    request.includeHidden = criteria.includeHidden;
    request.minLength = text::atoiRule(criteria.minLength);
    request.displayIcons = preferences.displayIcons != 0;
    request.autoSelect = preferences.autoSelectEntries != 0;
    return request;
}

std::string normaliseFolderPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

std::string scanProgressText(std::string_view path) {
    return "Scanning Folder " + std::string(path) + "...";
}

std::string scanDoneText(std::string_view path) {
    return "Folder: " + std::string(path);
}

void EntryCollector::entriesFound(std::vector<FileEntry> batch) {
    batches_.push_back(std::move(batch));
}

namespace {

/// The rows in `order` (of positions in `rows`), as pointers alone.
std::vector<FileEntry*> picked(const std::vector<FileEntry*>& rows,
                               const std::vector<std::size_t>& order) {
    std::vector<FileEntry*> inOrder;
    inOrder.reserve(order.size());
    for (const std::size_t i : order)
        inOrder.push_back(rows[i]);
    return inOrder;
}

/// Puts the entries in `order` where they are, cycle by cycle, without fresh
/// memory: afterwards rows[k] holds the entry that was at rows[order[k]].
void moveIntoOrder(const std::vector<FileEntry*>& rows, const std::vector<std::size_t>& order) {
    std::vector<char> placed(rows.size(), 0);
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (placed[start] != 0 || order[start] == start)
            continue;
        FileEntry held = std::move(*rows[start]);
        // The entries a few steps on in the cycle are fetched ahead: each is
        // a cache miss, and the cycle says which one comes next.
        constexpr int kAhead = 4;
        std::size_t ahead = start;
        for (int step = 0; step < kAhead; ++step)
            ahead = order[ahead];
        std::size_t k = start;
        for (std::size_t from = order[k]; from != start; k = from, from = order[k]) {
            ahead = order[ahead];
            const auto* line = reinterpret_cast<const char*>(rows[ahead]);
            for (std::size_t at = 0; at < sizeof(FileEntry); at += 64)
                __builtin_prefetch(line + at, 1);
            *rows[k] = std::move(*rows[from]);
            placed[k] = 1;
        }
        *rows[k] = std::move(held);
        placed[k] = 1;
    }
}

} // namespace

void EntryCollector::scanDone() {
    if (!entries.empty())
        batches_.insert(batches_.begin(), std::move(entries));
    entries = {};
    std::size_t total = 0;
    for (const auto& batch : batches_)
        total += batch.size();
    std::vector<FileEntry*> rows;
    rows.reserve(total);
    for (auto& batch : batches_)
        for (FileEntry& entry : batch)
            rows.push_back(&entry);
    if (sortBy != nullptr && random != nullptr) {
        // Sorted before joining, so that each entry moves once (or not at all).
        const std::vector<std::size_t> order = sortOrder(rows, *sortBy, *random);
        // Rows that follow one another in memory for long runs are read fast
        // in list order; rows scattered over the batches (a list sorted by
        // name across many folders) cost a cache miss each, on every pass
        // over the list, so kept entries are put in order where they are.
        std::size_t breaks = 0;
        for (std::size_t k = 1; k < order.size(); ++k)
            breaks += order[k] != order[k - 1] + 1 ? 1U : 0U;
        constexpr std::size_t kShortestRun = 64;
        if (keepBatches && breaks * kShortestRun > total)
            moveIntoOrder(rows, order);
        else
            rows = picked(rows, order);
    }
    if (keepBatches) {
        listed.rows = std::move(rows);
        listed.batches = std::move(batches_);
    } else {
        // Joined once at the end: growing one vector batch by batch would
        // move every entry several times.
        entries.reserve(total);
        for (FileEntry* row : rows)
            entries.push_back(std::move(*row));
    }
    batches_.clear();
    done = true;
}

namespace {

constexpr std::size_t kBatchSize = 512;

/// Byte-wise comparison without regard to ASCII letter case.
bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (text::toLower(static_cast<char32_t>(a[i])) !=
            text::toLower(static_cast<char32_t>(b[i])))
            return false;
    }
    return true;
}

/// Names that are never listed or entered, in any letter case.
bool isSystemName(std::string_view name, bool ascii) {
    constexpr std::string_view kVolumeInformation = "System Volume Information";
    constexpr std::string_view kRecycler = "RECYCLER";
    if (ascii) // the usual case, without decoding
        return asciiEqualsIgnoreCase(name, kVolumeInformation) ||
               asciiEqualsIgnoreCase(name, kRecycler);
    return text::equalsIgnoreCase(name, kVolumeInformation) ||
           text::equalsIgnoreCase(name, kRecycler);
}

/// Whether the extension (after the last "."; the whole name without one) is jpg or jpeg.
bool isJpegName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::string_view ext = dot == std::string_view::npos ? name : name.substr(dot + 1);
    return text::equalsIgnoreCase(ext, "jpg") || text::equalsIgnoreCase(ext, "jpeg");
}

/// One scan's state: the request, where results go, and per-scan caches.
class Scanner {
public:
    Scanner(const ScanRequest& request, FileSystem& fs, const TypeNameProvider& typeNames,
            ScanSink& sink, const std::atomic<bool>& cancel)
        : request_(request), fs_(fs), typeNames_(typeNames), sink_(sink), cancel_(cancel),
          lowerFilter_(text::toLower(request.filter)),
          filterAll_(!lowerFilter_.empty() &&
                     lowerFilter_.find_first_not_of('*') == std::string::npos) {
        request_.root = normaliseFolderPath(request_.root);
        request_.rootPathLength = static_cast<std::int32_t>(request_.root.size());
    }

    void scanRoot();

    void flush() {
        if (batch_.empty())
            return;
        std::vector<FileEntry> batch;
        batch.swap(batch_);
        sink_.entriesFound(std::move(batch));
        batch_.reserve(kBatchSize);
    }

private:
    /// A child of the folder being scanned, from its listing to its entry.
    struct Child {
        std::size_t offset = 0; ///< of its name in the folder's name text
        std::size_t length = 0;
        FileKind kind = FileKind::Unknown; ///< as the listing told it
        FileIdentity identity;             ///< as the listing told it, if it did
        enum class Step : std::uint8_t { Skip, Descend, Kind, Attributes } step = Step::Skip;
        FileAttributes attributes;
        Result read;
    };
    /// A folder read to its end: its children as listed, and every name.
    struct FolderRead {
        std::unique_ptr<FolderListing> listing;
        Result opened;
        bool openAgain = false; ///< out of descriptors when read ahead: opened when due
        std::string text;       ///< the children's names, one after the other
        std::vector<Child> children;
        std::unique_ptr<FolderNames> names;
    };
    /// Lists the folder whole; runs on the read-ahead thread where the
    /// listing allows it, so touches nothing else of the scan.
    void readWhole(FolderRead& read) const;
    void scanFolder(const std::string& path, FolderRead& read);
    /// Opens the subfolders a folder descends into, a few ahead of the one
    /// scanned, and lists them on the read-ahead thread meanwhile: listing a
    /// folder costs about as much as everything else the scan does for it.
    class SubfolderReads;
    /// Opens and lists the child `name` of `parent` at once; out of
    /// descriptors, it first closes what was opened ahead.
    void openNow(FolderListing& parent, std::string_view name, FolderRead& read);
    /// What the name and the listed kind alone decide of a child.
    [[nodiscard]] Child::Step firstStep(std::string_view name, FileKind kindHint);
    /// Reads the attributes of the children that need them; a big folder's
    /// share is read on a second thread meanwhile, as a statx costs more
    /// than everything else the scan does for an entry.
    void readAttributes(FolderListing& listing, std::vector<Child>& children,
                        const std::string& text);
    /// Adds the child's entry (if listed); true when it is a folder to descend into.
    bool addEntry(FolderListing& listing, const std::shared_ptr<const EntryFolder>& folder,
                  std::string_view name, Child& child, FolderNames& names, std::size_t index);
    bool isListed(std::string_view name, bool ascii, bool isFolder) const;
    void fillEntry(FileEntry& entry, FolderListing& listing, const FileAttributes& attributes,
                   bool haveTimes);

    ScanRequest request_;
    FileSystem& fs_;
    const TypeNameProvider& typeNames_;
    ScanSink& sink_;
    const std::atomic<bool>& cancel_;
    std::string lowerFilter_;
    bool filterAll_;
    LocalTime localTime_;
    std::vector<FileEntry> batch_;
    std::string lowerName_;
    /// The folders being scanned, outermost first, with what they read ahead.
    std::vector<SubfolderReads*> frames_;
    bool shed_ = false; ///< out of descriptors once: nothing more is read ahead
    BackgroundQueue readAhead_;
};

class Scanner::SubfolderReads {
public:
    /// `parent` stays open, and unused but by this, while it lives.
    SubfolderReads(Scanner& scanner, FolderRead& parent, std::vector<std::size_t> subfolders)
        : scanner_(scanner), parent_(parent), subfolders_(std::move(subfolders)),
          ahead_(parent.listing->fromAnyThread() && !scanner.shed_ &&
                         scanner.frames_.size() < kReadAheadDepth
                     ? kAhead
                     : 0) {
        reads_.resize(subfolders_.size());
        tickets_.resize(subfolders_.size());
        scanner_.frames_.push_back(this);
        for (std::size_t k = 0; k < std::min(ahead_, subfolders_.size()); ++k)
            start(k);
    }
    ~SubfolderReads() {
        shed();
        scanner_.frames_.pop_back();
    }
    SubfolderReads(const SubfolderReads&) = delete;
    SubfolderReads& operator=(const SubfolderReads&) = delete;

    /// The read of child `child`, a subfolder the scan descends into now;
    /// null when it is not one of those planned.
    FolderRead* take(std::size_t child) {
        taken_.reset();
        // Planned ones passed by (none, as the plan follows the same rules)
        // are closed once their reads are done.
        while (next_ < subfolders_.size() && subfolders_[next_] < child)
            drop(advance());
        if (next_ >= subfolders_.size() || subfolders_[next_] != child)
            return nullptr;
        const std::size_t k = advance();
        if (tickets_[k])
            scanner_.readAhead_.wait(*tickets_[k]);
        if (!reads_[k] || reads_[k]->openAgain) {
            reads_[k] = std::make_unique<FolderRead>();
            scanner_.openNow(*parent_.listing, nameOf(child), *reads_[k]);
        }
        taken_ = k;
        return reads_[k].get();
    }
    /// Done with the read `take` gave last: its folder is closed.
    void release() {
        if (taken_)
            reads_[*taken_].reset();
        taken_.reset();
    }
    /// Closes every folder opened ahead and not taken yet, and reads no more
    /// ahead: the process is out of descriptors.
    void shed() {
        ahead_ = 0;
        for (std::size_t k = next_; k < reads_.size(); ++k)
            drop(k);
    }

private:
    static constexpr std::size_t kAhead = 2;
    /// Deeper down, one folder per level is open, as without reading ahead:
    /// a tree however deep stays within the process's descriptors.
    static constexpr std::size_t kReadAheadDepth = 32;

    [[nodiscard]] std::string_view nameOf(std::size_t child) const {
        const Child& c = parent_.children[child];
        return std::string_view(parent_.text).substr(c.offset, c.length);
    }
    /// Moves on to the next planned subfolder, starting the one `kAhead`
    /// past it; returns the one moved past.
    std::size_t advance() {
        const std::size_t k = next_++;
        if (k + ahead_ < subfolders_.size())
            start(k + ahead_);
        return k;
    }
    void drop(std::size_t k) {
        if (tickets_[k])
            scanner_.readAhead_.wait(*tickets_[k]);
        tickets_[k].reset();
        reads_[k].reset();
    }
    void start(std::size_t k) {
        auto read = std::make_unique<FolderRead>();
        read->opened = parent_.listing->openFolder(nameOf(subfolders_[k]), read->listing);
        if (!read->opened) {
            const int code = read->opened.error().code;
            read->openAgain = code == EMFILE || code == ENFILE;
            reads_[k] = std::move(read); // reported, or opened again, when due
            return;
        }
        FolderRead* target = read.get();
        reads_[k] = std::move(read);
        tickets_[k] = scanner_.readAhead_.post([this, target] { scanner_.readWhole(*target); });
    }

    Scanner& scanner_;
    FolderRead& parent_;
    std::vector<std::size_t> subfolders_; ///< child indices, in the order descended
    std::size_t ahead_;
    std::size_t next_ = 0;
    std::vector<std::unique_ptr<FolderRead>> reads_;
    std::vector<std::optional<std::size_t>> tickets_;
    std::optional<std::size_t> taken_;
};

void Scanner::openNow(FolderListing& parent, std::string_view name, FolderRead& read) {
    read.opened = parent.openFolder(name, read.listing);
    if (!read.opened && !shed_ &&
        (read.opened.error().code == EMFILE || read.opened.error().code == ENFILE)) {
        // The folders opened ahead hold descriptors that the scan, going
        // down one folder at a time, needs now.
        shed_ = true;
        for (SubfolderReads* frame : frames_)
            frame->shed();
        read.opened = parent.openFolder(name, read.listing);
    }
    if (read.opened)
        readWhole(read);
}

void Scanner::scanRoot() {
    FolderRead root;
    if (request_.root.empty() || cancel_.load(std::memory_order_relaxed) ||
        !fs_.openFolder(request_.root, root.listing).ok())
        return; // no root: the list stays empty
    readWhole(root);
    scanFolder(request_.root, root);
}

void Scanner::readWhole(FolderRead& read) const {
    // Every name the folder holds, listed or not, so that the preview can
    // tell which new names are taken without asking the disk again. The
    // folder is read whole first, so that the attributes of its children
    // can be read together.
    read.names = std::make_unique<FolderNames>();
    std::string_view name;
    FileKind kind = FileKind::Unknown;
    while (!cancel_.load(std::memory_order_relaxed) && read.listing->next(name, kind)) {
        read.names->add(name, kind);
        Child& child = read.children.emplace_back();
        child.offset = read.text.size();
        child.length = name.size();
        child.kind = kind;
        child.identity = read.listing->listedIdentity();
        read.text += name;
    }
}

void Scanner::scanFolder(const std::string& path, FolderRead& read) {
    flush();
    sink_.folderStarted(path);

    auto folder = std::make_shared<EntryFolder>();
    folder->path = path;
    folder->parentFolderName = std::string(lastComponent(path));
    const auto rootLength = static_cast<std::size_t>(request_.rootPathLength);
    if (path.size() > rootLength)
        folder->subDir = path.substr(rootLength);
    const std::shared_ptr<const EntryFolder> shared = std::move(folder);

    FolderListing& listing = *read.listing;
    std::vector<Child>& children = read.children;
    const std::string& text = read.text;
    for (Child& child : children)
        child.step =
            firstStep(std::string_view(text).substr(child.offset, child.length), child.kind);
    readAttributes(listing, children, text);
    // The subfolders it will descend into, as far as known before their
    // entries are added; any other is opened when reached.
    std::vector<std::size_t> planned;
    if (request_.recursive) {
        for (std::size_t i = 0; i < children.size(); ++i) {
            const Child& c = children[i];
            const FileKind kind = c.step == Child::Step::Kind         ? c.kind
                                  : c.step == Child::Step::Attributes ? c.attributes.kind
                                                                      : FileKind::Unknown;
            if (c.step == Child::Step::Descend ||
                (kind == FileKind::Folder && (c.step == Child::Step::Kind || c.read.ok())))
                planned.push_back(i);
        }
    }
    SubfolderReads subfolders(*this, read, std::move(planned));
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (cancel_.load(std::memory_order_relaxed))
            break;
        const std::string_view name =
            std::string_view(text).substr(children[i].offset, children[i].length);
        if (!addEntry(listing, shared, name, children[i], *read.names, i) || !request_.recursive ||
            cancel_.load(std::memory_order_relaxed))
            continue;
        // Relative to the open folder: a path past the system's limit is
        // no obstacle, and a folder replaced by a link is not followed.
        FolderRead unplanned;
        FolderRead* sub = subfolders.take(i);
        if (sub == nullptr) {
            sub = &unplanned;
            openNow(listing, name, *sub);
        }
        if (!sub->opened) {
            flush();
            sink_.readFailed(sub->opened.error()); // it adds nothing; its siblings go on
        } else {
            scanFolder(joinPath(path, name), *sub);
        }
        subfolders.release();
    }
    if (const Result failure = listing.readFailure(); !failure) {
        flush();
        sink_.readFailed(failure.error());
    } else if (!cancel_.load(std::memory_order_relaxed)) {
        // Only a folder read to its end: a part of its names would hide
        // the rest.
        read.names->seal();
        shared->names.publish(std::move(read.names));
    }
}

bool Scanner::isListed(std::string_view name, bool ascii, bool isFolder) const {
    if (request_.minLength > 0 && (ascii ? name.size() : text::charCount(name)) <
                                      static_cast<std::size_t>(request_.minLength))
        return false;
    return isFolder ? request_.includeFolders : request_.includeFiles;
}

Scanner::Child::Step Scanner::firstStep(std::string_view name, FileKind kindHint) {
    if (name.empty() || (!request_.includeHidden && name.front() == '.'))
        return Child::Step::Skip; // hidden entries are not enumerated at all
    const bool ascii = text::isAscii(name);
    if (isSystemName(name, ascii))
        return Child::Step::Skip;
    // The name tests come before the attributes are read (unlike the order
    // the rules are written in): the outcome is the same, since an entry
    // whose attributes cannot be read is skipped and not descended into
    // either, and rejected names then cost no system call.
    if (!filterAll_) {
        lowerName_ = text::toLower(name);
        if (!wildcardMatch(lowerFilter_, lowerName_))
            return Child::Step::Skip;
    }
    if (name.find(':') != std::string_view::npos)
        return Child::Step::Skip;
    // When the listing tells the kind and the entry is not listed, the
    // answer needs no attributes either.
    if (kindHint != FileKind::Unknown && !isListed(name, ascii, kindHint == FileKind::Folder))
        return kindHint == FileKind::Folder ? Child::Step::Descend : Child::Step::Skip;
    return request_.readAttributes || kindHint == FileKind::Unknown ? Child::Step::Attributes
                                                                    : Child::Step::Kind;
}

void Scanner::readAttributes(FolderListing& listing, std::vector<Child>& children,
                             const std::string& text) {
    const auto readRange = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            Child& c = children[i];
            if (c.step == Child::Step::Attributes && !cancel_.load(std::memory_order_relaxed))
                c.read = listing.attributes(std::string_view(text).substr(c.offset, c.length),
                                            c.attributes);
        }
    };
    // Below some hundreds a thread costs more than the calls it shares; a
    // listing that told every kind, with no attributes asked for, needs none.
    constexpr std::size_t kWorthAThread = 256;
    const auto needed = static_cast<std::size_t>(
        std::count_if(children.begin(), children.end(),
                      [](const Child& c) { return c.step == Child::Step::Attributes; }));
    if (needed == 0)
        return;
    if (needed < kWorthAThread || !listing.fromAnyThread()) {
        readRange(0, children.size());
        return;
    }
    const std::size_t middle = children.size() / 2;
    std::thread helper;
    try {
        helper = std::thread(readRange, middle, children.size());
    } catch (const std::system_error&) {
        readRange(0, children.size()); // no thread to spare
        return;
    }
    readRange(0, middle);
    helper.join();
}

bool Scanner::addEntry(FolderListing& listing, const std::shared_ptr<const EntryFolder>& folder,
                       std::string_view name, Child& child, FolderNames& names, std::size_t index) {
    switch (child.step) {
    case Child::Step::Skip:
        return false;
    case Child::Step::Descend:
        return true;
    case Child::Step::Kind:
        child.attributes.kind = child.kind;
        break;
    case Child::Step::Attributes:
        if (!child.read) {
            // Never listed with made-up values; one that vanished meanwhile
            // is simply gone.
            if (child.read.error().code != ENOENT) {
                flush();
                sink_.readFailed(child.read.error());
            }
            return false;
        }
        names.setKind(index, child.attributes.kind);
        break;
    }
    const bool isFolder = child.attributes.kind == FileKind::Folder;
    if (!isListed(name, text::isAscii(name), isFolder))
        return isFolder;

    FileEntry& entry = batch_.emplace_back(folder, std::string(name), isFolder);
    entry.listedIdentity = child.identity;
    fillEntry(entry, listing, child.attributes, child.step == Child::Step::Attributes);
    ++request_.insertPosition;
    if (batch_.size() >= kBatchSize)
        flush();
    return isFolder;
}

void Scanner::fillEntry(FileEntry& entry, FolderListing& listing, const FileAttributes& attributes,
                        bool haveTimes) {
    if (typeNames_)
        entry.typeName = typeNames_(entry.name(), entry.isFolder());
    entry.size = entry.isFolder() ? -1 : attributes.size;
    if (haveTimes) {
        // A time that cannot be shown as a local date stays all zero: "no date".
        (void)localTime_.toLocal(attributes.created.seconds, attributes.created.nanoseconds,
                                 entry.created);
        (void)localTime_.toLocal(attributes.modified.seconds, attributes.modified.nanoseconds,
                                 entry.modified);
        (void)localTime_.toLocal(attributes.accessed.seconds, attributes.accessed.nanoseconds,
                                 entry.accessed);
    }
    if (!request_.readDatesTaken || attributes.kind != FileKind::File || !isJpegName(entry.name()))
        return;
    std::unique_ptr<ByteStream> stream;
    if (!listing.openRead(entry.name(), stream).ok())
        return;
    DateTime taken;
    if (readJpegHeader(*stream, taken)) {
        entry.hasDateTaken = true;
        entry.dateTaken = taken;
    }
}

} // namespace

void runScan(const ScanRequest& request, FileSystem& fs, const TypeNameProvider& typeNames,
             ScanSink& sink, const std::atomic<bool>& cancel) {
    Scanner scanner(request, fs, typeNames, sink, cancel);
    scanner.scanRoot();
    scanner.flush();
    sink.scanDone();
}

struct ScanWorker::Run final : ScanSink {
    Run(const ScanRequest& r, std::shared_ptr<const TypeNameProvider> names, ScanSink& s)
        : request(r), typeNames(std::move(names)), sink(s) {}

    // Forwards to the real sink until the worker is gone.
    void folderStarted(const std::string& path) override {
        if (!abandoned)
            sink.folderStarted(path);
    }
    void entriesFound(std::vector<FileEntry> batch) override {
        if (!abandoned)
            sink.entriesFound(std::move(batch));
    }
    void scanDone() override {
        if (!abandoned)
            sink.scanDone();
    }
    void readFailed(const Error& error) override {
        if (!abandoned)
            sink.readFailed(error);
    }

    ScanRequest request;
    std::shared_ptr<const TypeNameProvider> typeNames;
    ScanSink& sink;
    std::atomic<bool> cancel{false};
    /// Set once the worker owns its thread: until then the scan must not
    /// reach the sink, which might destroy the worker from inside.
    std::atomic<bool> started{false};
    bool abandoned = false; ///< written and read on the worker thread only
};

ScanWorker::ScanWorker(FileSystem& fs, TypeNameProvider typeNames, ScanSink& sink)
    : fs_(fs), typeNames_(std::make_shared<const TypeNameProvider>(std::move(typeNames))),
      sink_(sink) {}

ScanWorker::~ScanWorker() {
    if (thread_.joinable() && std::this_thread::get_id() == thread_.get_id()) {
        // Joining itself would deadlock and destroying a joinable thread
        // terminates the process: the scan stops at its next step instead,
        // its state kept alive by the thread.
        run_->abandoned = true;
        run_->cancel.store(true);
        thread_.detach();
        return;
    }
    (void)stopScan();
}

bool ScanWorker::stopRequested() const {
    return run_ != nullptr && run_->cancel.load();
}

bool ScanWorker::startScan(const ScanRequest& request) {
    if (thread_.joinable())
        return false;
    run_ = std::make_shared<Run>(request, typeNames_, sink_);
    try {
        thread_ = std::thread([run = run_, &fs = fs_] {
            run->started.wait(false);
            runScan(run->request, fs, *run->typeNames, *run, run->cancel);
        });
    } catch (const std::system_error&) {
        run_.reset();
        return false; // no thread: the list stays empty and no worker is recorded
    }
    // From here on the worker may be destroyed by the scan itself: touch
    // only the shared state.
    const std::shared_ptr<Run> run = run_;
    run->started.store(true);
    run->started.notify_one();
    return true;
}

bool ScanWorker::stopScan() {
    if (!thread_.joinable())
        return true;
    if (std::this_thread::get_id() == thread_.get_id())
        return false;
    run_->cancel.store(true);
    thread_.join();
    return true;
}

} // namespace vantrel
