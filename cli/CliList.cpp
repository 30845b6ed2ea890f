// The commands that read real folders and files: preview and taken.

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

/// The path below the scan root, with "/" between components.
std::string relativePath(const FileEntry& entry) {
    std::string_view sub = entry.subDir();
    if (!sub.empty() && sub.front() == '/')
        sub.remove_prefix(1);
    if (sub.empty())
        return entry.name();
    std::string path(sub);
    path += '/';
    path += entry.name();
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

    EntryCollector collector;

private:
    std::ostream& err_;
    bool showProgress_;
};

/// Reads the options of a listing command into `sort` and `folder`.
bool takeListOption(const std::string& arg, ArgReader& reader, SortState& sort,
                    std::optional<std::string>& folder, UsageError& error) {
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
            sort.column = static_cast<std::int32_t>(it - std::begin(kSortColumns));
    } else if (arg == "--desc") {
        sort.ascending = 0;
    } else if (arg == "--natural") {
        sort.xpStyle = 1;
    } else if (arg == "--random") {
        sort.random = 1;
    } else if (!arg.starts_with("--") && !folder) {
        folder = arg;
    } else {
        return false;
    }
    return true;
}

/// Two digits (or four for the year), zero-padded.
void putNumber(std::string& out, unsigned value, int width) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%0*u", width, value % 10000);
    out += buffer;
}

} // namespace

int runPreview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               CliServices& services) {
    CriteriaOptions options;
    SortState sort{0, 1, 0, 0};
    std::optional<std::string> folder;
    const auto criteria = readCommandLine(
        args, options, err, [&](const std::string& arg, ArgReader& reader, UsageError& error) {
            if (!takeListOption(arg, reader, sort, folder, error))
                error.text = "unknown option for preview: '" + arg + "'";
        });
    if (!criteria)
        return kExitUsage;
    if (!folder) {
        err << "vantrel-cli: preview needs a FOLDER\n";
        return kExitUsage;
    }
    Preferences preferences;
    preferences.ignoreFolderExtensions = options.ignoreFolderExtensions ? 1 : 0;
    ScanRequest request = makeScanRequest(*criteria, preferences, absoluteFolder(*folder));
    std::unique_ptr<FolderListing> probe;
    if (const Result opened = services.fs.openFolder(request.root, probe); !opened) {
        err << "vantrel-cli: cannot read the folder: " << opened.error().text() << '\n';
        return kExitUsage;
    }
    probe.reset();

    PreviewSink sink(err, services.errIsTerminal);
    const std::atomic<bool> cancel{false};
    runScan(request, services.fs, services.typeNames, sink, cancel);
    std::vector<FileEntry>& entries = sink.collector.entries;
    SystemRandom random;
    sortRows(entries, sort, random);
    err << scanDoneText(request.root) << '\n';

    EntryVectorTarget target(entries);
    StatusPanes status;
    SystemClock clock;
    refreshPreview(*criteria, preferences, target, status, clock);
    std::string line;
    for (const FileEntry& entry : entries) {
        line = relativePath(entry);
        line += '\t';
        line += entry.newName();
        line += '\t';
        line += stateOf(entry);
        line += '\n';
        out << line;
    }
    out.flush(); // the list before the status lines, when both go to one terminal
    if (!status.message.empty())
        err << status.message << '\n';
    err << status.statistics << '\n';
    return kExitOk;
}

int runTaken(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             CliServices& services) {
    if (args.size() < 2) {
        err << "vantrel-cli: taken needs at least one FILE\n";
        return kExitUsage;
    }
    std::string line;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& file = args[i];
        std::unique_ptr<ByteStream> stream;
        bool opened = services.fs.openRead(file, stream).ok();
        if (!opened) {
            // A file named on the command line is read through its links.
            std::error_code ec;
            const std::string target = std::filesystem::canonical(file, ec).string();
            opened = !ec && target != file && services.fs.openRead(target, stream).ok();
        }
        DateTime date;
        const bool read = opened && readJpegHeader(*stream, date);
        line = file;
        line += '\t';
        if (!read) {
            line += '!';
        } else if (date.year == 0) {
            line += '-';
        } else {
            putNumber(line, date.year, 4);
            line += ':';
            putNumber(line, date.month, 2);
            line += ':';
            putNumber(line, date.day, 2);
            line += ' ';
            putNumber(line, date.hour, 2);
            line += ':';
            putNumber(line, date.minute, 2);
            line += ':';
            putNumber(line, date.second, 2);
        }
        line += '\n';
        out << line;
    }
    return kExitOk;
}

} // namespace vantrel::cli
