// Reading the date taken from a camera-like JPEG header held in memory.
#include "filelist/JpegBuilder_test.h"
#include "filelist/JpegHeaderReader.h"

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

using test::asciiAt;
using test::ExifEntry;

/// SOI, JFIF, an EXIF block with main and EXIF directories, two quantisation
/// tables, a baseline frame, four Huffman tables, the scan header and 32 KiB of
/// image data, as a camera writes them.
std::string cameraJpeg() {
    const std::string date = "2005:07:14 10:22:33";
    constexpr std::uint32_t exif = 8 + test::TiffBlock::directorySize(6);
    constexpr std::uint32_t data = exif + test::TiffBlock::directorySize(6);
    const std::string exifBody = test::TiffBlock(false)
                                     .directory(8, {asciiAt(0x010F, "Camera Maker", data),
                                                    asciiAt(0x0110, "Model 10", data + 16),
                                                    {0x0112, 3, 1, 1},
                                                    {0x011A, 5, 1, data + 32},
                                                    asciiAt(0x0132, date, data + 40),
                                                    {0x8769, 4, 1, exif}})
                                     .directory(exif, {{0x829A, 5, 1, data + 32},
                                                       {0x829D, 5, 1, data + 32},
                                                       {0x8827, 3, 1, 200},
                                                       asciiAt(0x9003, date, data + 60),
                                                       asciiAt(0x9004, date, data + 80),
                                                       {0xA002, 4, 1, 4000}})
                                     .text(data, "Camera Maker")
                                     .text(data + 16, "Model 10")
                                     .put32(data + 32, 72)
                                     .put32(data + 36, 1)
                                     .text(data + 40, date)
                                     .text(data + 60, date)
                                     .text(data + 80, date)
                                     .exifBody();
    const std::string jfif("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14);
    const std::string frame("\x08\x0B\xB8\x0F\xA0\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 15);
    std::string image(32 * 1024, '\x5A');
    return test::JpegFile()
        .section(0xE0, jfif)
        .section(0xE1, exifBody)
        .section(0xDB, std::string(65, '\x01'))
        .section(0xDB, std::string(65, '\x02'))
        .section(0xC0, frame)
        .section(0xC4, std::string(29, '\x01'))
        .section(0xC4, std::string(179, '\x02'))
        .section(0xC4, std::string(29, '\x03'))
        .section(0xC4, std::string(179, '\x04'))
        .scan(image)
        .bytes();
}

void BM_ReadJpegHeader(benchmark::State& state) {
    const std::string file = cameraJpeg();
    for (auto _ : state) {
        MemoryByteStream in(file);
        DateTime date;
        const bool ok = readJpegHeader(in, date);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(date);
        if (!ok || date.year != 2005) {
            state.SkipWithError("the sample header did not give its date");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace
} // namespace vantrel

BENCHMARK(vantrel::BM_ReadJpegHeader);
