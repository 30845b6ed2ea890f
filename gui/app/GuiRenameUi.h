#pragma once

#include "rename/RenameBatch.h"

#include <QElapsedTimer>

#include <functional>

class QWidget;

namespace vantrel::gui {

/// The batch's questions as the window's dialogs and message boxes, and its
/// progress as a window that stays painted: while the batch runs, paint and
/// timer events are processed now and then (user input is not, as the
/// batch owns the window), under a wait cursor.
class GuiRenameUi final : public RenameUi, public RenameProgress {
public:
    /// `focusNewLocation` puts the keyboard focus into the New Location box.
    GuiRenameUi(QWidget* window, std::function<void()> focusNewLocation);
    ~GuiRenameUi() override;

    bool confirmRename(std::int32_t count, Preferences& preferences) override;
    void showError(const std::string& text) override;
    bool skipFailedItem(const std::string& text, const ItemFailure& failure) override;
    bool reverseAfterStop() override;
    void renameComplete(const std::string& statistics, Preferences& preferences) override;
    void focusNewLocation() override;

    void batchStarted(std::int32_t items) override;
    void itemDone(std::int32_t index, std::int32_t processed) override;
    void batchFinished() override;

private:
    void keepPainted();
    void waitCursor(bool on);

    QWidget* window_;
    std::function<void()> focusNewLocation_;
    QElapsedTimer sincePaint_;
    bool waiting_ = false;
};

} // namespace vantrel::gui
