#include "Cli.h"
#include "LoadedTypeNames.h"

#include "platform/PosixFileSystem.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    vantrel::PosixFileSystem fs;
    vantrel::cli::CliServices services{
        fs, vantrel::cli::loadedTypeNames(vantrel::cli::typeNamesModuleBesideProgram()),
        ::isatty(2) == 1, ::isatty(0) == 1};
    const int status = vantrel::cli::runCli(args, std::cin, std::cout, std::cerr, services);
    std::cout.flush();
    return status;
}
