#include "layout/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace vantrel::gui {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    baseX_ = std::max(1, (fm.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = std::max(1, fm.height());
}

} // namespace vantrel::gui
