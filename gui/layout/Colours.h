#pragma once

#include <QColor>

#include <cstdint>

namespace vantrel::gui {

/// A stored colour value (red in the lowest byte, then green, then blue).
[[nodiscard]] QColor colourFromRef(std::uint32_t value);

/// The colour's relative luminance, 0 (black) to 1 (white).
[[nodiscard]] double relativeLuminance(const QColor& colour);

/// A readable variant of `colour` on `background`: the chosen colour where
/// it contrasts enough, else the same hue made lighter or darker until it does.
[[nodiscard]] QColor readableOn(const QColor& colour, const QColor& background);

} // namespace vantrel::gui
