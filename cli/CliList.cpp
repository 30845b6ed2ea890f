// The commands that read real folders and files: preview and taken, and the
// listing that rename shares with preview.

#include "Cli.h"
#include "CliCommon.h"

#include "engine/PreviewRefresh.h"
#include "filelist/JpegHeaderReader.h"
#include "filelist/Sorting.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "status/StatusSink.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace vantrel::cli {

namespace {

constexpr std::string_view kSortColumns[] = {"name",    "newname",  "subdir", "type", "size",
                                             "created", "modified", "length", "taken"};
constexpr std::int32_t kTypeColumn = 3;
constexpr std::int32_t kSizeColumn = 4;
constexpr std::int32_t kCreatedColumn = 5;
constexpr std::int32_t kModifiedColumn = 6;
constexpr std::int32_t kTakenColumn = 8;

/// Appends the path below the scan root, with "/" between components.
void appendRelativePath(std::string& out, const FileEntry& entry) {
    std::string_view sub = entry.subDir();
    if (!sub.empty() && sub.front() == '/')
        sub.remove_prefix(1);
    if (!sub.empty()) {
        out += sub;
        out += '/';
    }
    out += entry.name();
}

/// The path below the scan root.
std::string relativePath(const FileEntry& entry) {
    std::string path;
    appendRelativePath(path, entry);
    return path;
}

/// An absolute form of a folder argument (symbolic links are kept as written).
std::string absoluteFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    return normaliseFolderPath(ec ? folder : absolute.lexically_normal().string());
}

/// Collects the scan and, on a terminal, shows which folder is being read.
class PreviewSink final : public ScanSink {
public:
    PreviewSink(std::ostream& err, bool showProgress) : err_(err), showProgress_(showProgress) {}
    void folderStarted(const std::string& path) override {
        if (showProgress_)
            err_ << "\r\033[K" << scanProgressText(path) << std::flush;
    }
    void entriesFound(std::vector<FileEntry> batch) override {
        collector.entriesFound(std::move(batch));
    }
    void scanDone() override {
        collector.scanDone();
        if (showProgress_)
            err_ << "\r\033[K" << std::flush;
    }
    void readFailed(const Error& error) override {
        if (showProgress_)
            err_ << "\r\033[K";
        err_ << "vantrel-cli: left out, cannot be read: " << error.text() << '\n';
        incomplete = true;
    }

    EntryCollector collector;
    bool incomplete = false; ///< something below the folder could not be read

private:
    std::ostream& err_;
    bool showProgress_;
};

} // namespace

bool takeListOption(const std::string& arg, ArgReader& reader, ListOptions& options,
                    UsageError& error) {
    if (arg == "--sort") {
        const auto value = reader.value(arg, error);
        if (!value)
            return true;
        const auto* it = std::find(std::begin(kSortColumns), std::end(kSortColumns), *value);
        if (it == std::end(kSortColumns))
            error.text = "unknown column for --sort: '" + *value +
                         "' (name, newname, subdir, type, size, created, modified, length, "
                         "taken)";
        else
            options.sort.column = static_cast<std::int32_t>(it - std::begin(kSortColumns));
    } else if (arg == "--desc") {
        options.sort.ascending = 0;
    } else if (arg == "--natural") {
        options.sort.xpStyle = 1;
    } else if (arg == "--random") {
        options.sort.random = 1;
    } else if (arg == "-0" || arg == "--null") {
        options.null = true;
    } else if (!arg.starts_with("--") && !options.folder) {
        options.folder = arg;
    } else {
        return false;
    }
    return true;
}

bool listAndPreview(const RenameCriteria& criteria, const Preferences& preferences,
                    const ListOptions& options, std::ostream& err, CliServices& services,
                    EntryRows& listed, StatusPanes& status, PreviewSummary& summary,
                    bool& complete) {
    ScanRequest request =
        makeScanRequest(criteria, preferences, absoluteFolder(options.folder.value_or("")));
    // Nothing here shows sizes, dates or types: read them only for the sort
    // or the Auto Date criterion, since they cost a statx per entry, four
    // system calls per JPEG file for the date taken, and a MIME look-up.
    const std::int32_t column = options.sort.random != 0 ? -1 : options.sort.column;
    const bool usesDate = criteria.dateMode != 0;
    request.readAttributes =
        usesDate || column == kSizeColumn || column == kCreatedColumn || column == kModifiedColumn;
    request.readDatesTaken =
        column == kTakenColumn || (usesDate && criteria.dateType == kDateTaken);
    std::unique_ptr<FolderListing> probe;
    if (const Result opened = services.fs.openFolder(request.root, probe); !opened) {
        err << "vantrel-cli: cannot read the folder: " << opened.error().text() << '\n';
        return false;
    }
    probe.reset();

    PreviewSink sink(err, services.errIsTerminal);
    SystemRandom random;
    sink.collector.sortBy = &options.sort;
    sink.collector.random = &random;
    // The list is only read and renamed through: its entries stay where the
    // scan made them.
    sink.collector.keepBatches = true;
    const std::atomic<bool> cancel{false};
    runScan(request, services.fs, column == kTypeColumn ? services.typeNames : TypeNameProvider{},
            sink, cancel);
    listed = std::move(sink.collector.listed);
    complete = !sink.incomplete;
    err << scanDoneText(request.root) << '\n';

    EntryRowsTarget target(listed.rows);
    SystemClock clock;
    summary = refreshPreview(criteria, preferences, target, status, clock, &services.fs);
    return true;
}

void printStatus(const StatusPanes& status, const PreviewSummary& summary, std::ostream& err) {
    if (summary.patternInvalid)
        err << kRegexInvalidMessage << '\n';
    err << status.statistics << '\n';
    if (summary.collisions.conflicts > 0)
        err << collisionCountText(summary.collisions.conflicts) << '\n';
}

void printPreview(const std::vector<FileEntry*>& rows, const StatusPanes& status,
                  const PreviewSummary& summary, bool null, std::ostream& out, std::ostream& err) {
    const char separator = null ? '\0' : '\t';
    const char end = null ? '\0' : '\n';
    // Written a block at a time: a list of 100,000 lines goes out in a few
    // hundred writes, without a string per line.
    constexpr std::size_t kBlock = 64 * 1024;
    std::string block;
    block.reserve(kBlock + 4096);
    for (const FileEntry* row : rows) {
        const FileEntry& entry = *row;
        appendRelativePath(block, entry);
        block += separator;
        block += entry.newName();
        block += separator;
        block += stateOf(entry);
        block += end;
        if (block.size() >= kBlock) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out.flush(); // the list before the status lines, when both go to one terminal
    printStatus(status, summary, err);
}

void printConflicts(const std::vector<FileEntry*>& rows, const PreviewSummary& summary,
                    std::ostream& err) {
    for (const FileEntry* row : rows) {
        const FileEntry& entry = *row;
        if (!entry.inConflict())
            continue;
        const std::size_t other = entry.conflict().other;
        err << "'" << relativePath(entry) << "': the new name '" << entry.newName()
            << "' is taken by "
            << conflictHolderText(entry, other < rows.size() ? rows[other] : nullptr,
                                  summary.collisions.location)
            << '\n';
    }
}

int runPreview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               CliServices& services) {
    CriteriaOptions options;
    ListOptions list;
    const auto criteria =
        readCommandLine(services.fs, args, options, err,
                        [&](const std::string& arg, ArgReader& reader, UsageError& error) {
                            if (!takeListOption(arg, reader, list, error))
                                error.text = "unknown option for preview: '" + arg + "'";
                        });
    if (!criteria)
        return kExitUsage;
    if (!list.folder) {
        err << "vantrel-cli: preview needs a FOLDER\n";
        return kExitUsage;
    }
    Preferences preferences;
    preferences.ignoreFolderExtensions = options.ignoreFolderExtensions ? 1 : 0;
    EntryRows listed;
    StatusPanes status;
    PreviewSummary summary;
    bool complete = true;
    if (!listAndPreview(*criteria, preferences, list, err, services, listed, status, summary,
                        complete))
        return kExitUsage;
    printPreview(listed.rows, status, summary, list.null, out, err);
    return complete ? kExitOk : kExitFailed;
}

int runTaken(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             CliServices& services) {
    if (args.size() < 2) {
        err << "vantrel-cli: taken needs at least one FILE\n";
        return kExitUsage;
    }
    std::string line;
    bool anyUnread = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& file = args[i];
        std::unique_ptr<ByteStream> stream;
        Result open = services.fs.openRead(file, stream);
        if (!open) {
            // A file named on the command line is read through its links.
            std::error_code ec;
            const std::string target = std::filesystem::canonical(file, ec).string();
            if (!ec && target != file)
                open = services.fs.openRead(target, stream);
        }
        const bool opened = open.ok();
        if (!opened)
            err << "vantrel-cli: " << open.error().text() << '\n';
        DateTime date;
        const bool read = opened && readJpegHeader(*stream, date);
        line = file;
        line += '\t';
        if (!read) {
            line += '!';
            anyUnread = true;
        } else if (date.year == 0) {
            line += '-';
        } else {
            // Fields are printed as read, four digits for the year, two for the rest.
            char text[64];
            std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", date.year % 10000U,
                          date.month % 100U, date.day % 100U, date.hour % 100U, date.minute % 100U,
                          date.second % 100U);
            line += text;
        }
        line += '\n';
        out << line;
    }
    return anyUnread ? kExitFailed : kExitOk;
}

} // namespace vantrel::cli
