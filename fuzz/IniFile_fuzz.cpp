// Feeds arbitrary bytes to the favourites reader as a file's content, then
// reads, writes and serialises, checking the promises the format depends on.
#include "favourites/FavouriteFile.h"
#include "favourites/IniFile.h"
#include "text/Utf8Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Names that a writer may legitimately use: no line breaks, and nothing that
// would make the key line read as another key or a section header.
std::string safeName(std::string name) {
    std::erase_if(name, [](char c) { return c == '\r' || c == '\n' || c == '=' || c == '['; });
    return name;
}

// What ReadString must return after WriteString(value), derived independently.
std::string expectedRead(std::string value) {
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    std::u32string chars = vantrel::text::decode(value);
    if (chars.size() > vantrel::IniFile::kMaxValueChars)
        chars.resize(vantrel::IniFile::kMaxValueChars);
    std::string out = vantrel::text::encode(chars);
    std::erase(out, '"');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = safeName(in.ConsumeRandomLengthString(32));
    const std::string key = safeName(in.ConsumeRandomLengthString(32));
    const std::string value = in.ConsumeRandomLengthString(600);
    const auto number = in.ConsumeIntegral<std::int32_t>();
    const std::string content = in.ConsumeRemainingBytesAsString();

    vantrel::IniFile ini;
    ini.loadText(content);
    require(ini.text() == content); // an untouched document is written back byte for byte
    (void)ini.ReadString("General", "Path");
    (void)ini.ReadInt("Auto-Number", "Base", 8);
    (void)ini.ReadString(section, key, value);

    ini.WriteString(section, key, value);
    require(ini.ReadString(section, key) == expectedRead(value));
    ini.WriteInt("Auto-Number", "Base", number);
    require(ini.ReadInt("Auto-Number", "Base", 0) == number);

    vantrel::IniFile again;
    again.loadText(ini.text());
    require(again.text() == ini.text());
    const bool overwritten = vantrel::text::equalsIgnoreCase(section, "Auto-Number") &&
                             vantrel::text::equalsIgnoreCase(key, "Base");
    require(overwritten || again.ReadString(section, key) == expectedRead(value));

    vantrel::RenameCriteria criteria;
    std::string folder;
    (void)vantrel::applyFavouriteSetting(criteria, section, key, value, &folder);
    return 0;
}
