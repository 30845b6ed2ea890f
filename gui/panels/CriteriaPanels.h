#pragma once

#include "engine/CriteriaFields.h"
#include "engine/RenameCriteria.h"

#include <QColor>
#include <QGroupBox>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

class QPushButton;
class QToolButton;

namespace vantrel::gui {

/// One numbered criteria panel: a group box with a bold caption and an "R"
/// button on its frame, painted in the highlight colour while it is active.
class CriteriaPanel final : public QGroupBox {
    Q_OBJECT
public:
    CriteriaPanel(Panel panel, QWidget* parent);
    [[nodiscard]] Panel panel() const { return panel_; }
    [[nodiscard]] QToolButton* resetButton() const { return reset_; }
    /// The highlight background, or none for the normal look.
    void setHighlight(std::optional<QColor> colour);
    [[nodiscard]] std::optional<QColor> highlight() const { return highlight_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Panel panel_;
    QToolButton* reset_;
    std::optional<QColor> highlight_;
};

/// The twelve criteria panels with their controls, the Reset and Rename
/// buttons, arranged as the designed window arranges them. The controls are
/// made from the table of criteria fields; the panels hold no state of
/// their own: they show a criteria record and report the user's edits.
class CriteriaPanels final : public QWidget {
    Q_OBJECT
public:
    explicit CriteriaPanels(QWidget* parent = nullptr);

    /// Every control shows the record's value (without reporting an edit).
    void showAll(const RenameCriteria& criteria);
    void showFields(const RenameCriteria& criteria,
                    const std::vector<const CriteriaField*>& fields);
    void showPanel(const RenameCriteria& criteria, Panel panel);
    /// Repaints the frames: active panels on `colour` while `on`.
    void updateHighlights(const RenameCriteria& criteria, bool on, QColor colour);
    void updateHighlight(const RenameCriteria& criteria, Panel panel, bool on, QColor colour);

    [[nodiscard]] QWidget* control(const CriteriaField& field) const;
    [[nodiscard]] CriteriaPanel* panel(Panel panel) const;
    [[nodiscard]] QPushButton* renameButton() const { return rename_; }
    [[nodiscard]] QPushButton* resetAllButton() const { return resetAll_; }

signals:
    /// The user changed a control: texts as typed, choices as their index,
    /// flags as "0" or "1".
    void fieldEdited(const vantrel::CriteriaField* field, const QString& value);
    void resetPanelRequested(int panel);
    void resetAllRequested();
    void renameRequested();
    void browseNewLocationRequested();

private:
    QWidget* makeControl(const CriteriaField& field, QWidget* parent);
    QWidget* buildPanel(Panel panel);

    std::array<CriteriaPanel*, kPanelCount> panels_{};
    std::vector<QWidget*> controls_; ///< by index in the field table
    QPushButton* rename_ = nullptr;
    QPushButton* resetAll_ = nullptr;
};

} // namespace vantrel::gui
