// The floor that `vantrel-cli taken` is measured against: open each file
// named on the command line, read its first 64 KiB and close it. Nothing
// else: no parsing, no output per file.
//
//   vantrel_taken_floor FILE...
// Prints the number of bytes read; exit status 1 when a file could not be read.

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static char buffer[64 * 1024];
    unsigned long long total = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            ++failed;
            continue;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0)
            ++failed;
        else
            total += static_cast<unsigned long long>(n);
        ::close(fd);
    }
    std::printf("%llu bytes read\n", total);
    return failed == 0 ? 0 : 1;
}
