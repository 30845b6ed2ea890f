#include "Cli.h"
#include "LoadedTypeNames.h"

#include "platform/PosixFileSystem.h"

#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // A recursive listing holds one open folder per level it is deep: allow
    // as many as the system lets this process have, not the default few.
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        (void)::setrlimit(RLIMIT_NOFILE, &files);
    }
    // One command, then the end: memory freed on the way (the scan's
    // batches, the sort's keys) is kept for what comes next instead of
    // going back to the system, which would hand out fresh pages, each
    // costing a fault, for the next big block.
    (void)::mallopt(M_MMAP_THRESHOLD, 256 << 20);
    (void)::mallopt(M_TRIM_THRESHOLD, 512 << 20);
    std::vector<std::string> args(argv + 1, argv + argc);
    vantrel::PosixFileSystem fs;
    vantrel::cli::CliServices services{
        fs,
        vantrel::cli::loadedTypeNames(vantrel::cli::typeNamesModuleBesideProgram()),
        ::isatty(2) == 1,
        ::isatty(0) == 1,
        {}};
    const int status = vantrel::cli::runCli(args, std::cin, std::cout, std::cerr, services);
    std::cout.flush();
    std::cerr.flush();
    // Nothing is left to write or close: freeing what the command built,
    // entry by entry, would only delay the end.
    std::_Exit(status);
}
