#include "Cli.h"
#include "CliCommon.h"

#include "Version.h"

#include "engine/CriteriaFields.h"
#include "engine/PreviewRefresh.h"
#include "favourites/FavouriteFile.h"
#include "platform/Clock.h"
#include "status/StatusSink.h"

#include <algorithm>
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
    "       vantrel-cli --help | --version\n"
    "\n"
    "commands:\n"
    "  names [OPTIONS]             preview new names of names read from standard input,\n"
    "                              one per line; prints name<TAB>new name<TAB>state\n"
    "  preview [OPTIONS] FOLDER    list FOLDER with the Selections criteria, sort it and\n"
    "                              preview every entry; prints relative path<TAB>new name\n"
    "                              <TAB>state\n"
    "  rename [OPTIONS] FOLDER     the preview, then rename every listed entry (or copy it\n"
    "                              into the New Location); asks first unless --yes\n"
    "  undo [--journal FILE]       reverse the last rename batch kept in the journal\n"
    "  taken FILE...               the date taken of JPEG files: FILE<TAB>YYYY:MM:DD HH:MM:SS,\n"
    "                              FILE<TAB>- without a date, FILE<TAB>! when unreadable\n"
    "  save-favourite FILE [--favourite IN] [--set ...] [--folder PATH]\n"
    "                              write the resulting criteria into a favourites file\n"
    "  keys                        every SECTION/KEY that --set takes, with its kind, its\n"
    "                              default and the lines of each drop-down\n"
    "\n"
    "states: same (the name stays), new, conflict (the new name is taken: by another\n"
    "entry's new name, or by an entry of the folder that is not renamed away) and\n"
    "invalid (a character no name may hold). After the statistics line on standard\n"
    "error, \"N new names collide\" counts the conflicts.\n"
    "\n"
    "criteria options:\n"
    "  --favourite FILE            load a favourites file first\n"
    "  --set SECTION/KEY=VALUE     set any favourites key; VALUE is read as in the file,\n"
    "                              a drop-down also by a line's text (--set Case/Change=Title)\n"
    "                              (repeatable, applied after --favourite)\n"
    "  --replace-match-case        the Replace panel's Match Case box\n"
    "  --ignore-folder-extensions  a folder's whole name is its base name\n"
    "\n"
    "names options:\n"
    "  --folder-name NAME          the parent folder name of every entry\n"
    "  --date \"YYYY-MM-DD HH:MM:SS\" creation, modification, access and taken date\n"
    "  --folders                   every name is a folder\n"
    "  -0, --null                  names are read ended by NUL bytes (as find -print0\n"
    "                              writes them), and written as for preview -0\n"
    "\n"
    "preview options:\n"
    "  --sort COLUMN               name (default), newname, subdir, type, size, created,\n"
    "                              modified, length or taken\n"
    "  --desc                      descending order\n"
    "  --natural                   compare digit runs by value (file2 before file10)\n"
    "  --random                    shuffle instead of sorting\n"
    "  -0, --null                  every field ended by a NUL byte instead of a TAB or a\n"
    "                              line feed, so that any name survives (one record: path,\n"
    "                              NUL, new name, NUL, state, NUL)\n"
    "\n"
    "rename options (and those of preview):\n"
    "  --yes                       rename without asking (needed when standard input is\n"
    "                              not a terminal)\n"
    "  --on-error skip|stop        at a failed item go on or stop (default stop); with\n"
    "                              stop, new names in conflict are listed and nothing is\n"
    "                              renamed, with skip the others are\n"
    "  --undo-on-stop              after a stop, reverse the renames already done\n"
    "  --overwrite                 Overwrite Target Files: replace existing files\n"
    "  --new-location PATH         copy under the new names into PATH instead\n"
    "  --journal FILE              where the batch is kept for undo (default\n"
    "                              $XDG_STATE_HOME/vantrel/last-batch.journal, else\n"
    "                              ~/.local/state/vantrel/last-batch.journal)\n"
    "\n"
    "exit status: 0 success, 1 an item failed (a file that taken could not read, a rename\n"
    "or undo that failed, new names in conflict, nothing to undo), 2 bad usage\n";

int runNames(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err, CliServices& services) {
    CriteriaOptions options;
    std::string folderName;
    DateTime date;
    bool folders = false;
    bool null = false;
    const auto criteria =
        readCommandLine(services.fs, args, options, err,
                        [&](const std::string& arg, ArgReader& reader, UsageError& error) {
                            if (arg == "--folder-name") {
                                if (auto v = reader.value(arg, error))
                                    folderName = *v;
                            } else if (arg == "--date") {
                                if (auto v = reader.value(arg, error)) {
                                    const auto parsed = parseDate(*v);
                                    if (!parsed)
                                        error.text =
                                            "--date needs \"YYYY-MM-DD HH:MM:SS\": '" + *v + "'";
                                    else
                                        date = *parsed;
                                }
                            } else if (arg == "--folders") {
                                folders = true;
                            } else if (arg == "-0" || arg == "--null") {
                                null = true;
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
    while (std::getline(in, line, null ? '\0' : '\n')) {
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
    const PreviewSummary summary =
        refreshPreview(*criteria, preferences, target, status, clock, &services.fs);

    const char separator = null ? '\0' : '\t';
    const char end = null ? '\0' : '\n';
    for (const FileEntry& entry : entries)
        out << entry.name() << separator << entry.newName() << separator << stateOf(entry) << end;
    out.flush();
    printStatus(status, summary, err);
    return kExitOk;
}

/// One key of `keys`: what it is, its default and, for a drop-down, its lines.
void printKey(std::ostream& out, std::string_view name, const CriteriaField* field) {
    std::string line(name);
    line.resize(std::max<std::size_t>(line.size() + 2, 34), ' ');
    if (field == nullptr) {
        out << line << "text, default \"\" (the folder the favourite was saved with)\n";
        return;
    }
    switch (field->kind) {
    case FieldKind::Text:
        out << line << "text, default \"" << field->defaultText << "\"\n";
        break;
    case FieldKind::Integer:
        out << line << "number, default \"" << field->defaultText
            << "\" (the spin button: " << field->spinMin << " to " << field->spinMax << ")\n";
        break;
    case FieldKind::Flag:
        out << line << "check box, default " << field->defaultNumber << '\n';
        break;
    case FieldKind::Choice: {
        const auto lines = field->lines();
        out << line << "drop-down, default " << field->defaultNumber << " ("
            << lines[static_cast<std::size_t>(field->defaultNumber)] << ")\n";
        for (std::size_t i = 0; i < lines.size(); ++i)
            out << "    " << (i < 10 ? " " : "") << i << "  " << lines[i] << '\n';
        break;
    }
    }
}

/// Every favourites key in the order a file stores them.
int runKeys(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() > 1) {
        err << "vantrel-cli: keys takes no arguments\n";
        return kExitUsage;
    }
    out << "Every SECTION/KEY for --set, in the order a favourites file stores them. A text\n"
           "is set as typed or in double quotes, a number as text, a check box as 0 or 1, a\n"
           "drop-down by the number or the text of a line (\"Base 16\" for \"Base 16 (Hex)\",\n"
           "in any letter case).\n\n";
    printKey(out, "General/Path", nullptr);
    for (const CriteriaField& field : criteriaFields()) {
        if (!field.section.empty())
            printKey(out, std::string(field.section) + "/" + std::string(field.key), &field);
    }
    return kExitOk;
}

int runSaveFavourite(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     CliServices& services) {
    CriteriaOptions options;
    std::optional<std::string> file;
    std::string folderPath;
    const auto criteria =
        readCommandLine(services.fs, args, options, err,
                        [&](const std::string& arg, ArgReader& reader, UsageError& error) {
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
    const Result saved = saveFavourite(services.fs, *file, *criteria, folderPath);
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
           std::ostream& err, CliServices& services) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "--version" || command == "-V") {
        out << "vantrel-cli " << kVersionText << '\n';
        return kExitOk;
    }
    if (command == "keys")
        return runKeys(args, out, err);
    if (command == "names")
        return runNames(args, in, out, err, services);
    if (command == "preview")
        return runPreview(args, out, err, services);
    if (command == "rename")
        return runRename(args, in, out, err, services);
    if (command == "undo")
        return runUndo(args, out, err, services);
    if (command == "taken")
        return runTaken(args, out, err, services);
    if (command == "save-favourite")
        return runSaveFavourite(args, out, err, services);
    err << "vantrel-cli: unknown command '" << command << "'\n" << kUsage;
    return kExitUsage;
}

} // namespace vantrel::cli
