#include "Cli.h"

#include "engine/PreviewRefresh.h"
#include "favourites/FavouriteFile.h"
#include "platform/Clock.h"
#include "status/StatusSink.h"

#include <cstdio>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>

namespace vantrel::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: vantrel-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  names [OPTIONS]             preview new names of names read from standard input,\n"
    "                              one per line; prints name<TAB>new name<TAB>state\n"
    "                              (state: same, new or invalid)\n"
    "  save-favourite FILE [--favourite IN] [--set ...] [--folder PATH]\n"
    "                              write the resulting criteria into a favourites file\n"
    "\n"
    "criteria options:\n"
    "  --favourite FILE            load a favourites file first\n"
    "  --set SECTION/KEY=VALUE     set any favourites key; VALUE is read as in the file\n"
    "                              (repeatable, applied after --favourite)\n"
    "  --replace-match-case        the Replace panel's Match Case box\n"
    "  --ignore-folder-extensions  a folder's whole name is its base name\n"
    "\n"
    "names options:\n"
    "  --folder-name NAME          the parent folder name of every entry\n"
    "  --date \"YYYY-MM-DD HH:MM:SS\" creation, modification, access and taken date\n"
    "  --folders                   every name is a folder\n";

/// A usage error: one line for standard error, exit status 2.
struct UsageError {
    std::string text;
};

/// The criteria the options build, and what else they said.
struct CriteriaOptions {
    std::optional<std::string> favourite;
    std::vector<std::string> settings; // SECTION/KEY=VALUE, in order
    bool replaceMatchCase = false;
    bool ignoreFolderExtensions = false;
};

/// Walks the arguments; options with a value take the next argument.
class ArgReader {
public:
    explicit ArgReader(const std::vector<std::string>& args, std::size_t start)
        : args_(args), next_(start) {}
    [[nodiscard]] bool done() const { return next_ >= args_.size(); }
    const std::string& take() { return args_[next_++]; }
    std::optional<std::string> value(const std::string& option, UsageError& error) {
        if (done()) {
            error.text = "option " + option + " needs a value";
            return std::nullopt;
        }
        return take();
    }

private:
    const std::vector<std::string>& args_;
    std::size_t next_;
};

/// Takes the criteria options shared by every command; false when `arg` is none of them.
bool takeCriteriaOption(const std::string& arg, ArgReader& reader, CriteriaOptions& options,
                        UsageError& error) {
    if (arg == "--favourite") {
        if (auto v = reader.value(arg, error))
            options.favourite = *v;
    } else if (arg == "--set") {
        if (auto v = reader.value(arg, error))
            options.settings.push_back(*v);
    } else if (arg == "--replace-match-case") {
        options.replaceMatchCase = true;
    } else if (arg == "--ignore-folder-extensions") {
        options.ignoreFolderExtensions = true;
    } else {
        return false;
    }
    return true;
}

/// Builds the criteria: defaults, then the favourite, then each --set in order.
std::optional<RenameCriteria> buildCriteria(const CriteriaOptions& options, std::string* path,
                                            UsageError& error) {
    RenameCriteria criteria;
    if (options.favourite) {
        const Result loaded = loadFavourite(*options.favourite, criteria, path);
        if (!loaded.ok()) {
            error.text = "cannot read favourites file: " + loaded.error().text();
            return std::nullopt;
        }
    }
    for (const std::string& setting : options.settings) {
        const std::size_t eq = setting.find('=');
        if (eq == std::string::npos) {
            error.text = "--set needs SECTION/KEY=VALUE: '" + setting + "'";
            return std::nullopt;
        }
        const std::string_view name = std::string_view(setting).substr(0, eq);
        const std::size_t slash = name.find('/');
        const std::string_view section = name.substr(0, std::min(slash, name.size()));
        const std::string_view key =
            slash == std::string_view::npos ? std::string_view{} : name.substr(slash + 1);
        const FavouriteSetting applied = applyFavouriteSetting(
            criteria, section, key, std::string_view(setting).substr(eq + 1), path);
        if (slash == std::string_view::npos || applied != FavouriteSetting::Applied) {
            const bool badSection = applied == FavouriteSetting::UnknownSection;
            error.text = std::string(badSection ? "unknown favourites section '"
                                                : "unknown favourites key '") +
                         std::string(badSection ? section : name) + "' in --set";
            return std::nullopt;
        }
    }
    criteria.replaceMatchCase = options.replaceMatchCase;
    return criteria;
}

/// Reads "YYYY-MM-DD HH:MM:SS" strictly, checking every field's range.
std::optional<DateTime> parseDate(std::string_view text) {
    if (text.size() != 19)
        return std::nullopt;
    constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i)
            v = v * 10 + (text[i] - '0');
        return static_cast<std::uint16_t>(v);
    };
    DateTime d;
    d.year = field(0, 4);
    d.month = field(5, 2);
    d.day = field(8, 2);
    d.hour = field(11, 2);
    d.minute = field(14, 2);
    d.second = field(17, 2);
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year == 0 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0) || d.hour > 23 ||
        d.minute > 59 || d.second > 59)
        return std::nullopt;
    return d;
}

std::string_view stateOf(const FileEntry& entry) {
    if (entry.newNameInvalid())
        return "invalid";
    return entry.isChanged() ? "new" : "same";
}

/// Reads the options after the command: the criteria options here, the
/// command's own through `other`; then builds the criteria. On a usage error
/// writes it to `err` and gives nothing.
template <typename Other>
std::optional<RenameCriteria> readCommandLine(const std::vector<std::string>& args,
                                              CriteriaOptions& options, std::ostream& err,
                                              Other other) {
    UsageError error;
    ArgReader reader(args, 1);
    while (!reader.done() && error.text.empty()) {
        const std::string& arg = reader.take();
        if (!takeCriteriaOption(arg, reader, options, error))
            other(arg, reader, error);
    }
    std::optional<RenameCriteria> criteria;
    if (error.text.empty())
        criteria = buildCriteria(options, nullptr, error);
    if (!criteria)
        err << "vantrel-cli: " << error.text << '\n';
    return criteria;
}

int runNames(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
    CriteriaOptions options;
    std::string folderName;
    DateTime date;
    bool folders = false;
    const auto criteria = readCommandLine(
        args, options, err, [&](const std::string& arg, ArgReader& reader, UsageError& error) {
            if (arg == "--folder-name") {
                if (auto v = reader.value(arg, error))
                    folderName = *v;
            } else if (arg == "--date") {
                if (auto v = reader.value(arg, error)) {
                    const auto parsed = parseDate(*v);
                    if (!parsed)
                        error.text = "--date needs \"YYYY-MM-DD HH:MM:SS\": '" + *v + "'";
                    else
                        date = *parsed;
                }
            } else if (arg == "--folders") {
                folders = true;
            } else {
                error.text = "unknown option for names: '" + arg + "'";
            }
        });
    if (!criteria)
        return kExitUsage;

    auto folder = std::make_shared<EntryFolder>();
    folder->parentFolderName = folderName;
    std::vector<FileEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        FileEntry entry(folder, line, folders);
        entry.created = entry.modified = entry.accessed = date;
        entry.hasDateTaken = !date.isZero();
        entry.dateTaken = date;
        entries.push_back(std::move(entry));
    }

    Preferences preferences;
    preferences.ignoreFolderExtensions = options.ignoreFolderExtensions ? 1 : 0;
    EntryVectorTarget target(entries);
    StatusPanes status;
    SystemClock clock;
    refreshPreview(*criteria, preferences, target, status, clock);

    for (const FileEntry& entry : entries)
        out << entry.name() << '\t' << entry.newName() << '\t' << stateOf(entry) << '\n';
    if (!status.message.empty())
        err << status.message << '\n';
    err << status.statistics << '\n';
    return kExitOk;
}

int runSaveFavourite(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CriteriaOptions options;
    std::optional<std::string> file;
    std::string folderPath;
    const auto criteria = readCommandLine(
        args, options, err, [&](const std::string& arg, ArgReader& reader, UsageError& error) {
            if (arg == "--folder") {
                if (auto v = reader.value(arg, error))
                    folderPath = *v;
            } else if (!arg.starts_with("--") && !file) {
                file = arg;
            } else {
                error.text = "unknown option for save-favourite: '" + arg + "'";
            }
        });
    if (!criteria)
        return kExitUsage;
    if (!file) {
        err << "vantrel-cli: save-favourite needs a FILE\n";
        return kExitUsage;
    }
    const Result saved = saveFavourite(*file, *criteria, folderPath);
    if (!saved.ok()) {
        err << "vantrel-cli: Favourite " << *file << " could not be saved: " << saved.error().text()
            << '\n';
        return kExitFailed;
    }
    out << "Favourite " << *file << " saved\n";
    return kExitOk;
}

} // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "names")
        return runNames(args, in, out, err);
    if (command == "save-favourite")
        return runSaveFavourite(args, out, err);
    err << "vantrel-cli: unknown command '" << command << "'\n" << kUsage;
    return kExitUsage;
}

} // namespace vantrel::cli
