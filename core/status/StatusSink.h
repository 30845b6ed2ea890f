#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

/// Where the program reports: the message pane, the favourite pane and the
/// statistics pane of the status bar, or whatever stands in for them.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    /// Replaces the message text; the empty text clears it.
    virtual void setStatusMessage(std::string_view text) = 0;
    /// Shows the current favourite's name.
    virtual void setFavouriteName(std::string_view text) = 0;
    /// Shows the object and selection counts; renaming is possible when `selected` > 0.
    virtual void updateStatistics(std::size_t objects, std::size_t selected) = 0;
};

/// "N Objects (M Selected)".
[[nodiscard]] std::string statisticsText(std::size_t objects, std::size_t selected);

/// A sink that keeps the latest text of each pane, for front ends without a
/// window and for tests.
class StatusPanes : public StatusSink {
public:
    void setStatusMessage(std::string_view text) override { message = text; }
    void setFavouriteName(std::string_view text) override { favourite = text; }
    void updateStatistics(std::size_t objects, std::size_t selected) override;

    std::string statistics = "Statistics";
    std::string favourite = "Favourite";
    std::string message = "Vantrel";
    bool renameEnabled = false;
};

} // namespace vantrel
