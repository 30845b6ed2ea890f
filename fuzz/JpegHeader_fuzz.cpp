// Feeds arbitrary bytes to the date-taken reader as a file's content: it must
// end without touching memory outside the bytes, and its promises must hold.
#include "filelist/JpegHeaderReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vantrel::MemoryByteStream in(bytes);
    vantrel::JpegHeaderReader reader;
    const bool ok = reader.read(in);
    // Only a file that does not start like a JPEG is refused without a diagnosis.
    const bool startsLikeJpeg = bytes.starts_with("\xFF\xD8");
    require(ok || !reader.errorText().empty() || !startsLikeJpeg);
    require(reader.errorText().size() <= 255);

    vantrel::MemoryByteStream again(bytes);
    vantrel::DateTime date{1, 1, 1, 1, 1, 1, 1, 1};
    require(vantrel::readJpegHeader(again, date) == ok);
    require(ok ? date == reader.date() : date.isZero());
    require(date.dayOfWeek == 0 && date.milliseconds == 0);
    return 0;
}
