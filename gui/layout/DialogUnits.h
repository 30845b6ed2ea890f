#pragma once

#include <QFont>
#include <QSize>

namespace vantrel::gui {

/// Converts the designed window's measures (dialog units: a quarter of the
/// font's average character width across, an eighth of its height down)
/// into pixels for a font, so that the window scales with font and screen.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    [[nodiscard]] int x(int units) const { return (units * baseX_ + 2) / 4; }
    [[nodiscard]] int y(int units) const { return (units * baseY_ + 4) / 8; }
    [[nodiscard]] QSize size(int width, int height) const { return {x(width), y(height)}; }

private:
    int baseX_;
    int baseY_;
};

} // namespace vantrel::gui
