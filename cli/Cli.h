#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel::cli {

/// Exit statuses of the command-line front end.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

/// Runs one command line (without the program name) and returns the exit
/// status. Reads names from `in`, writes results to `out` and errors and
/// status messages to `err`. Never throws.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

} // namespace vantrel::cli
