// The commands that change the disk: rename (the preview, then the batch)
// and undo (the journal's batch reversed).

#include "Cli.h"
#include "CliCommon.h"

#include "rename/Journal.h"
#include "rename/RenameBatch.h"

#include <cctype>
#include <cerrno>
#include <istream>
#include <ostream>

namespace vantrel::cli {

namespace {

/// The batch's status texts: shown on one self-erasing line of standard
/// error when that is a terminal, nowhere otherwise.
class ProgressLine final : public StatusSink {
public:
    ProgressLine(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    void setStatusMessage(std::string_view text) override {
        message = text;
        if (!terminal_)
            return;
        err_ << "\r\033[K" << text << std::flush;
        shown_ = !text.empty();
    }
    void setFavouriteName(std::string_view) override {}
    void updateStatistics(std::size_t, std::size_t) override {}
    /// Erases the line, so that other text starts at the left margin.
    void clear() {
        if (shown_)
            err_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

    std::string message; ///< the latest text

private:
    std::ostream& err_;
    bool terminal_;
    bool shown_ = false;
};

/// How rename answers the batch's questions.
struct RenameAnswers {
    bool yes = false;        ///< --yes: no confirmation asked
    bool skipFailed = false; ///< --on-error skip
    bool undoOnStop = false; ///< --undo-on-stop
};

/// The batch's questions answered from the options, or for the confirmation
/// from the terminal. Questions and failures go to standard error.
class CliRenameUi final : public RenameUi {
public:
    CliRenameUi(const RenameAnswers& answers, std::istream& in, std::ostream& out,
                std::ostream& err, ProgressLine& progress)
        : answers_(answers), in_(in), out_(out), err_(err), progress_(progress) {}

    bool confirmRename(std::int32_t count, Preferences&) override {
        if (answers_.yes)
            return true;
        out_.flush(); // the preview first
        err_ << "You are about to rename " << count << " files and/or folders!\n"
             << "Please double-check that the files and/or folders you have selected are "
                "correct, and that the new filenames are as you intended.\n\n"
                "This is your last opportunity to cancel!\n"
             << "Rename? [y/N] " << std::flush;
        std::string line;
        if (!std::getline(in_, line))
            return false;
        std::string answer;
        for (const char c : line) {
            if (!std::isspace(static_cast<unsigned char>(c)))
                answer += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return answer == "y" || answer == "yes";
    }
    void showError(const std::string& text) override {
        progress_.clear();
        err_ << text << '\n';
    }
    bool skipFailedItem(const std::string& text, const ItemFailure&) override {
        progress_.clear();
        err_ << text << (answers_.skipFailed ? " yes\n" : " no\n");
        return answers_.skipFailed;
    }
    bool reverseAfterStop() override {
        progress_.clear();
        err_ << kReverseQuestion << (answers_.undoOnStop ? " yes\n" : " no\n");
        return answers_.undoOnStop;
    }
    void renameComplete(const std::string&, Preferences&) override {}

private:
    const RenameAnswers& answers_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    ProgressLine& progress_;
};

/// The status of an undo to standard output, each reversal that failed to
/// standard error.
void reportUndo(const UndoOutcome& outcome, std::string_view status, std::ostream& out,
                std::ostream& err) {
    out << status << '\n';
    out.flush();
    for (const UndoFailure& failure : outcome.failures)
        err << "Item '" << failure.item << "' could not be renamed back to '" << failure.target
            << "': " << failure.message << '\n';
}

/// The journal named by --journal, or the default one; empty (with the
/// reason on `err`) when there is none.
std::string journalPathOr(const std::optional<std::string>& option, std::ostream& err) {
    std::string path = option ? *option : defaultJournalPath();
    if (path.empty())
        err << "vantrel-cli: no place for the journal (HOME is not set): give --journal FILE\n";
    return path;
}

/// Reads an option of rename's own; false when `arg` is none of them.
bool takeRenameOption(const std::string& arg, ArgReader& reader, RenameAnswers& answers,
                      bool& overwrite, std::optional<std::string>& journal,
                      std::optional<std::string>& newLocation, UsageError& error) {
    if (arg == "--yes") {
        answers.yes = true;
    } else if (arg == "--on-error") {
        if (const auto v = reader.value(arg, error)) {
            if (*v != "skip" && *v != "stop")
                error.text = "--on-error needs skip or stop: '" + *v + "'";
            answers.skipFailed = *v == "skip";
        }
    } else if (arg == "--undo-on-stop") {
        answers.undoOnStop = true;
    } else if (arg == "--overwrite") {
        overwrite = true;
    } else if (arg == "--journal") {
        journal = reader.value(arg, error);
    } else if (arg == "--new-location") {
        newLocation = reader.value(arg, error);
    } else {
        return false;
    }
    return true;
}

} // namespace

int runRename(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err, CliServices& services) {
    CriteriaOptions options;
    ListOptions list;
    RenameAnswers answers;
    bool overwrite = false;
    std::optional<std::string> journalOption;
    std::optional<std::string> newLocation;
    auto criteria =
        readCommandLine(services.fs, args, options, err,
                        [&](const std::string& arg, ArgReader& reader, UsageError& error) {
                            if (!takeListOption(arg, reader, list, error) &&
                                !takeRenameOption(arg, reader, answers, overwrite, journalOption,
                                                  newLocation, error))
                                error.text = "unknown option for rename: '" + arg + "'";
                        });
    if (!criteria)
        return kExitUsage;
    if (!list.folder) {
        err << "vantrel-cli: rename needs a FOLDER\n";
        return kExitUsage;
    }
    if (!answers.yes && !services.inIsTerminal) {
        err << "vantrel-cli: rename asks for confirmation, but standard input is not a "
               "terminal; give --yes to rename without asking\n";
        return kExitUsage;
    }
    const std::string journalPath = journalPathOr(journalOption, err);
    if (journalPath.empty())
        return kExitUsage;
    if (newLocation)
        criteria->newLocation = *newLocation;

    Preferences preferences;
    preferences.ignoreFolderExtensions = options.ignoreFolderExtensions ? 1 : 0;
    preferences.overwriteTargetFiles = overwrite ? 1 : 0;
    preferences.displayWarningMessage = 1; // answered by --yes or the terminal
    preferences.displayConfirmationMessage = 0;
    EntryRows listed;
    StatusPanes previewStatus;
    PreviewSummary summary;
    bool complete = true;
    if (!listAndPreview(*criteria, preferences, list, err, services, listed, previewStatus, summary,
                        complete))
        return kExitUsage;
    printPreview(listed.rows, previewStatus, summary, list.null, out, err);
    if (summary.collisions.conflicts > 0 && !answers.skipFailed) {
        // Told before anything is touched; skipping lets the rest go ahead.
        printConflicts(listed.rows, summary, err);
        err << "vantrel-cli: nothing was renamed: "
            << collisionCountText(summary.collisions.conflicts)
            << " (--on-error skip renames the others)\n";
        return kExitFailed;
    }

    RenameRequest request;
    request.selected = listed.rows;
    request.newLocation = criteria->newLocation;
    request.recursive = criteria->recursive;
    request.entriesKept = false; // the process ends with the batch
    // Asked nothing, the batch follows the listing at once.
    request.entriesJustListed = answers.yes;
    ProgressLine progress(err, services.errIsTerminal);
    CliRenameUi ui(answers, in, out, err, progress);
    FileJournal journal(services.fs, journalPath);
    const auto log = std::make_shared<UndoLog>();
    services.keptToExit.push_back(log);
    const RenameOutcome outcome =
        runRenameBatch(request, preferences, services.fs, ui, progress, *log, &journal);
    progress.clear();
    services.keptToExit.push_back(std::make_shared<EntryRows>(std::move(listed)));
    if (!journal.writeFailure().ok())
        err << "vantrel-cli: the journal is incomplete, undo may leave renames in place: "
            << journal.writeFailure().error().text() << '\n';

    switch (outcome.end) {
    case RenameOutcome::End::Refused:
        // The reason was shown; a journal in use or unwritable is no misuse.
        return outcome.journal.ok() ? kExitUsage : kExitFailed;
    case RenameOutcome::End::Cancelled:
        err << kCancelledStatus << '\n';
        return kExitFailed;
    case RenameOutcome::End::Empty:
        return complete ? kExitOk : kExitFailed;
    case RenameOutcome::End::Completed:
        out << renameStatistics(outcome.processed, outcome.renamed) << '\n';
        return outcome.skipped.empty() && complete ? kExitOk : kExitFailed;
    case RenameOutcome::End::Stopped:
        if (!log->empty())
            err << "vantrel-cli: stopped; " << log->pairs().size()
                << " renames kept (vantrel-cli undo reverses them)\n";
        return kExitFailed;
    case RenameOutcome::End::Reversed:
        reportUndo(outcome.undo, progress.message, out, err);
        return kExitFailed;
    }
    return kExitFailed;
}

int runUndo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            CliServices& services) {
    std::optional<std::string> journalOption;
    UsageError error;
    ArgReader reader(args, 1);
    while (!reader.done() && error.text.empty()) {
        const std::string& arg = reader.take();
        if (arg == "--journal")
            journalOption = reader.value(arg, error);
        else
            error.text = "unknown option for undo: '" + arg + "'";
    }
    if (!error.text.empty()) {
        err << "vantrel-cli: " << error.text << '\n';
        return kExitUsage;
    }
    const std::string journalPath = journalPathOr(journalOption, err);
    if (journalPath.empty())
        return kExitUsage;

    StatusPanes status;
    JournalUndo undo;
    const Result undone = undoJournal(services.fs, journalPath, status, undo);
    const JournalDamage& damage = undo.contents.damage;
    if (damage.lines > 0)
        err << "vantrel-cli: " << damage.lines << " damaged lines of the journal " << journalPath
            << " were left out\n";
    if (!undone) {
        if (undone.error().code == EWOULDBLOCK)
            err << "vantrel-cli: another rename batch is using " << journalPath << '\n';
        else
            err << "vantrel-cli: cannot undo: " << undone.error().text() << '\n';
        return kExitFailed;
    }
    if (undo.contents.log.empty()) {
        err << "vantrel-cli: nothing to undo: the journal " << journalPath << " holds no renames\n";
        return kExitFailed;
    }
    reportUndo(undo.outcome, status.message, out, err);
    return undo.outcome.failures.empty() && damage.lines == 0 ? kExitOk : kExitFailed;
}

} // namespace vantrel::cli
