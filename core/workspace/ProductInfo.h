#pragma once

#include <string>
#include <string_view>

namespace vantrel {

/// What the About box shows: the product's name, version, legal notice and
/// comment, from the build's one definition of them.
struct ProductInfo {
    std::string_view name;
    std::string_view version; ///< "2, 1, 0, 12"
    std::string_view copyright;
    std::string_view comments;
    std::string_view homePage;
};

[[nodiscard]] const ProductInfo& productInfo();

/// The address that asks the home page about newer versions: the home page,
/// "/Version.php?Version=" and the version, with every blank removed and
/// every comma made a full stop.
[[nodiscard]] std::string updateAddress(std::string_view homePage, std::string_view version);

} // namespace vantrel
