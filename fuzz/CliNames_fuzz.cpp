// Feeds arbitrary command lines and names to `vantrel-cli names`: option
// parsing, --set values, favourites keys, the whole pipeline with arbitrary
// criteria (patterns, dates, numbers) and arbitrary name bytes.
//
// Input layout: NUL-separated arguments, then a second NUL-NUL pair, then the
// names on standard input. Only `names` is run, which writes no files;
// --favourite is dropped so that no file outside the input is read.
#include "Cli.h"
#include "testsupport/MemoryFileSystem.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find(std::string_view("\0\0", 2));
    const std::string_view argText = input.substr(0, split);
    const std::string_view names =
        split == std::string_view::npos ? std::string_view{} : input.substr(split + 2);

    std::vector<std::string> args{"names"};
    std::size_t start = 0;
    while (start <= argText.size() && args.size() < 64) {
        const std::size_t end = std::min(argText.find('\0', start), argText.size());
        args.emplace_back(argText.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--favourite")
            args[i] = "--folders";
    }

    std::istringstream in{std::string(names)};
    std::ostringstream out, err;
    vantrel::MemoryFileSystem fs; // nothing on disk is ever touched
    vantrel::cli::CliServices services{fs, {}, false, false, {}};
    (void)vantrel::cli::runCli(args, in, out, err, services);
    return 0;
}
