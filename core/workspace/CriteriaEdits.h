#pragma once

#include "engine/CriteriaFields.h"
#include "engine/RenameCriteria.h"

#include <string_view>
#include <vector>

namespace vantrel {

/// What a user's change of one criteria control leads to.
struct EditOutcome {
    /// Other fields that the change rules set (their controls must show them).
    std::vector<const CriteriaField*> alsoChanged;
    /// The change concerns what is listed: the folder is read again (which
    /// ends with a preview) instead of a preview refresh.
    bool rescan = false;
};

/// Stores the user's new value of `field` (text fields: the text; choices:
/// the line index; flags: "0" or "1") and applies the rules that tie the
/// controls together: typing a fixed name chooses "Fixed", a custom date
/// format "Custom", a numbering position "Insert", a fixed extension
/// "Fixed" (unless "Extra", "Remove" or "Convert" is chosen), and Removals'
/// From and to stay in order while they are typed.
EditOutcome applyCriteriaEdit(RenameCriteria& criteria, const CriteriaField& field,
                              std::string_view value);

/// The fields of one panel, in table order.
[[nodiscard]] std::vector<const CriteriaField*> panelFields(Panel panel);

} // namespace vantrel
