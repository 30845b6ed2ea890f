#pragma once

#include <QDialog>

class QCheckBox;

namespace vantrel::gui {

/// The last chance to cancel before a batch: "You are about to rename N
/// files and/or folders!" with the check box "Show This Warning Again".
class RenameWarningDialog final : public QDialog {
    Q_OBJECT
public:
    RenameWarningDialog(int count, QWidget* parent);
    /// The check box's state; stored as "Display Warning Message" on OK.
    [[nodiscard]] bool showAgain() const;

private:
    QCheckBox* showAgain_;
};

/// The statistics of a finished batch, with "Show This Message Again".
class RenameCompleteDialog final : public QDialog {
    Q_OBJECT
public:
    RenameCompleteDialog(const QString& statistics, QWidget* parent);
    /// The check box's state; stored as "Display Confirmation Message" on OK.
    [[nodiscard]] bool showAgain() const;

private:
    QCheckBox* showAgain_;
};

} // namespace vantrel::gui
