#include "status/StatusSink.h"

namespace vantrel {

std::string statisticsText(std::size_t objects, std::size_t selected) {
    return std::to_string(objects) + " Objects (" + std::to_string(selected) + " Selected)";
}

void StatusPanes::updateStatistics(std::size_t objects, std::size_t selected) {
    statistics = statisticsText(objects, selected);
    renameEnabled = selected > 0;
}

} // namespace vantrel
