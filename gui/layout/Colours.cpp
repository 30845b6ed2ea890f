#include "layout/Colours.h"

#include <algorithm>
#include <cmath>

namespace vantrel::gui {
namespace {

double contrast(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

QColor colourFromRef(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

double relativeLuminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

QColor readableOn(const QColor& colour, const QColor& background) {
    constexpr double kEnough = 3.0;
    if (!background.isValid() || contrast(colour, background) >= kEnough)
        return colour;
    const bool darkBackground = relativeLuminance(background) < 0.18;
    QColor c = colour.toHsl();
    for (int step = 0; step < 20 && contrast(c, background) < kEnough; ++step) {
        const float l = c.lightnessF() + (darkBackground ? 0.05F : -0.05F);
        c.setHslF(c.hslHueF(), c.hslSaturationF(), std::clamp(l, 0.0F, 1.0F));
    }
    return c.toRgb();
}

} // namespace vantrel::gui
