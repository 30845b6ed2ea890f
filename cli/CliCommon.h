#pragma once

// What the commands share: reading the criteria options and the way a
// preview's state is written.

#include "engine/Preferences.h"
#include "engine/PreviewRefresh.h"
#include "engine/RenameCriteria.h"
#include "filelist/FileEntry.h"
#include "filelist/Sorting.h"
#include "platform/FileSystem.h"
#include "status/StatusSink.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::cli {

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
                        UsageError& error);

/// Builds the criteria: defaults, then the favourite (read from `fs`), then
/// each --set in order.
std::optional<RenameCriteria> buildCriteria(FileSystem& fs, const CriteriaOptions& options,
                                            std::string* path, UsageError& error);

/// Reads "YYYY-MM-DD HH:MM:SS" strictly, checking every field's range.
std::optional<DateTime> parseDate(std::string_view text);

/// "same", "new", "conflict" (the new name cannot be had) or "invalid".
std::string_view stateOf(const FileEntry& entry);

/// Reads the options after the command: the criteria options here, the
/// command's own through `other`; then builds the criteria. On a usage error
/// writes it to `err` and gives nothing.
template <typename Other>
std::optional<RenameCriteria> readCommandLine(FileSystem& fs, const std::vector<std::string>& args,
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
        criteria = buildCriteria(fs, options, nullptr, error);
    if (!criteria)
        err << "vantrel-cli: " << error.text << '\n';
    return criteria;
}

} // namespace vantrel::cli

namespace vantrel::cli {

struct CliServices;

/// What a listing command lists: the folder and the order.
struct ListOptions {
    SortState sort{0, 1, 0, 0};
    std::optional<std::string> folder;
    bool null = false; ///< -0: fields ended by NUL bytes, not tabs and line feeds
};

/// Takes the sort options and the FOLDER of a listing command; false when
/// `arg` is none of them.
bool takeListOption(const std::string& arg, ArgReader& reader, ListOptions& options,
                    UsageError& error);

/// Lists the folder with the Selections criteria, sorts it and previews every
/// entry into `listed` ("Folder: ..." goes to `err`). False, with the reason
/// on `err`, when the folder cannot be read; `complete` false (each reason on
/// `err`) when something below it could not be read and was left out.
bool listAndPreview(const RenameCriteria& criteria, const Preferences& preferences,
                    const ListOptions& options, std::ostream& err, CliServices& services,
                    EntryRows& listed, StatusPanes& status, PreviewSummary& summary,
                    bool& complete);

/// Writes relative path<TAB>new name<TAB>state for each entry to `out` (with
/// `null`, each field ended by a NUL byte instead), then the preview's status
/// lines to `err`.
void printPreview(const std::vector<FileEntry*>& rows, const StatusPanes& status,
                  const PreviewSummary& summary, bool null, std::ostream& out, std::ostream& err);

/// Writes the preview's status lines to `err`: an invalid pattern, the
/// statistics, and "N new names collide" when some do.
void printStatus(const StatusPanes& status, const PreviewSummary& summary, std::ostream& err);

/// Writes one line per entry in conflict to `err`: the entry, its new name
/// and what holds that name.
void printConflicts(const std::vector<FileEntry*>& rows, const PreviewSummary& summary,
                    std::ostream& err);

/// The commands, each given the whole argument list (the command first).
int runPreview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               CliServices& services);
int runTaken(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             CliServices& services);
int runRename(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err, CliServices& services);
int runUndo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            CliServices& services);

} // namespace vantrel::cli
