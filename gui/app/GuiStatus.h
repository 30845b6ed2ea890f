#pragma once

#include "status/StatusSink.h"

#include <QObject>

class QLabel;
class QPushButton;
class QStatusBar;

namespace vantrel::gui {

/// The status bar's three panes (statistics, favourite, message) as the
/// core's status sink; the statistics also enable the Rename button.
class GuiStatus final : public StatusSink {
public:
    GuiStatus(QStatusBar* bar, QPushButton* renameButton);

    void setStatusMessage(std::string_view text) override;
    void setFavouriteName(std::string_view text) override;
    void updateStatistics(std::size_t objects, std::size_t selected) override;

    [[nodiscard]] QLabel* statisticsPane() const { return statistics_; }
    [[nodiscard]] QLabel* favouritePane() const { return favourite_; }
    [[nodiscard]] QLabel* messagePane() const { return message_; }

private:
    QLabel* statistics_;
    QLabel* favourite_;
    QLabel* message_;
    QPushButton* rename_;
};

} // namespace vantrel::gui
