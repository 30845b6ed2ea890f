#pragma once

#include "filelist/ScanWorker.h"
#include "platform/FileSystem.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::cli {

/// Exit statuses of the command-line front end.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

/// What the commands use of the world outside: the file system, the type
/// names of entries, whether standard error is a terminal (then long work
/// shows its progress there) and whether standard input is one (then rename
/// may ask for confirmation).
struct CliServices {
    FileSystem& fs;
    TypeNameProvider typeNames;
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    /// What a command built and nobody reads again (100,000 entries and their
    /// undo log): the program ends without freeing it piece by piece.
    std::vector<std::shared_ptr<void>> keptToExit;
};

/// Runs one command line (without the program name) and returns the exit
/// status. Reads names from `in`, writes results to `out` and errors and
/// status messages to `err`. Never throws.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, CliServices& services);

} // namespace vantrel::cli
