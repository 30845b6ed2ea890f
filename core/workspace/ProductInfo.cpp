#include "workspace/ProductInfo.h"

#include "Version.h"

namespace vantrel {

const ProductInfo& productInfo() {
    static const ProductInfo info{
        kProductName,
        kVersionText,
        "Copyright \xC2\xA9 2026 Olvesco.\nAll rights reserved.",
        "Renames many files and folders at once: regular expressions, fixed names, "
        "replacements, letter case, removals, additions, dates, folder names, numbering "
        "and extensions, with a live preview of every new name.\nEvery batch is journalled "
        "ahead and can be undone.",
        kHomePage,
    };
    return info;
}

std::string updateAddress(std::string_view homePage, std::string_view version) {
    std::string address(homePage);
    address += "/Version.php?Version=";
    address += version;
    std::string out;
    out.reserve(address.size());
    for (const char c : address) {
        if (c == ' ')
            continue;
        out += c == ',' ? '.' : c;
    }
    return out;
}

} // namespace vantrel
