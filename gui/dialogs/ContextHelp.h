#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class QWidget;

namespace vantrel::gui {

/// The dynamic property that tells which context-help string a control shows.
inline constexpr char kHelpIdProperty[] = "helpId";

/// Gives a control its context-help number (its control id).
void setHelpId(QWidget* widget, int id);

/// The context-help text with the given number; empty when there is none.
[[nodiscard]] QString contextHelpText(int id);

/// Shows the context help of `widget` (or of the nearest parent that has
/// one) at `globalPos` on a pale yellow popup; nothing when it has none.
/// Returns the popup shown, or null.
QWidget* showContextHelp(QWidget* widget, QPoint globalPos);

/// Answers help requests anywhere in the application: Shift+F1 shows the
/// focused control's help at the mouse position; in What's This mode a
/// click shows the clicked control's help.
class ContextHelpFilter final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vantrel::gui
