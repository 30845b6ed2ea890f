#pragma once

#include "engine/RenameCriteria.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

/// How a criteria field is edited and stored.
enum class FieldKind : unsigned char {
    Text,    ///< free text
    Integer, ///< text read with the atoi rule, stepped by a spin button
    Choice,  ///< the 0-based line of a drop-down list; -1 when none is chosen
    Flag,    ///< a check box
};

/// When a field makes its panel count as active (for highlighting).
enum class ActiveWhen : unsigned char {
    Never,
    NotEmpty,     ///< the text is not empty
    ReadsNonZero, ///< the text reads as a number other than 0
    NotFirstLine, ///< the choice is not line 0 (no choice counts as active)
    Set,          ///< the box is ticked
};

/// One field of the criteria record: where it lives in the record, how the
/// panels show it, how a reset and the favourites file treat it. The one
/// place that knows these facts; the favourites file, the panel reset and
/// highlight, the command line's `--set` and the window's controls all read it.
struct CriteriaField {
    std::string_view name; ///< the record member's name, e.g. "regexMatch"
    Panel panel = Panel::RegExpr;
    int controlId = 0;      ///< the control's number; also its context-help string
    std::string_view label; ///< the control's caption; empty when it has none
    FieldKind kind = FieldKind::Text;
    std::string RenameCriteria::*text = nullptr;            ///< Text and Integer fields
    bool RenameCriteria::*flag = nullptr;                   ///< Flag fields
    int RenameCriteria::*choice = nullptr;                  ///< Choice fields
    std::string_view defaultText;                           ///< Text and Integer fields
    int defaultNumber = 0;                                  ///< Choice (an index) and Flag (0 or 1)
    std::span<const std::string_view> (*lines)() = nullptr; ///< Choice fields
    int spinMin = 0, spinMax = 0; ///< Integer fields: the spin button's range
    ActiveWhen active = ActiveWhen::Never;
    bool keptByReset = false;      ///< the panel's reset leaves the field as it is
    std::string_view section, key; ///< in a favourites file; empty when not stored
};

/// Every field of the record, in the order a favourites file stores them
/// (fields that are not stored come last).
[[nodiscard]] std::span<const CriteriaField> criteriaFields();

/// The field with the given record member name, or null.
[[nodiscard]] const CriteriaField* findCriteriaField(std::string_view name);

/// The field's value as text: texts as they are, choices and flags as
/// decimal numbers (the favourites file's form).
[[nodiscard]] std::string fieldText(const RenameCriteria& criteria, const CriteriaField& field);

/// The line of a drop-down field that `text` names: the line's whole text
/// or the part before its remark in parentheses ("Base 16" for "Base 16
/// (Hex)"), without regard to letter case; none when no line is so named.
[[nodiscard]] std::optional<int> choiceLineNamed(const CriteriaField& field, std::string_view text);

/// Writes the field's default (start-up) value into the record.
void setFieldDefault(RenameCriteria& criteria, const CriteriaField& field);

} // namespace vantrel
