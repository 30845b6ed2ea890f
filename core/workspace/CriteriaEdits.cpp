#include "workspace/CriteriaEdits.h"

#include "text/Utf8Text.h"

namespace vantrel {
namespace {

const CriteriaField& field(std::string_view name) {
    return *findCriteriaField(name);
}

/// Chooses `line` in the drop-down `name` unless `keep` says the present
/// choice stands.
void choose(RenameCriteria& c, EditOutcome& out, std::string_view name, int line,
            bool (*keep)(int) = nullptr) {
    const CriteriaField& f = field(name);
    int& current = c.*f.choice;
    if (current == line || (keep != nullptr && keep(current)))
        return;
    current = line;
    out.alsoChanged.push_back(&f);
}

/// Copies the text of `from` into `to` when `wrongOrder` holds for their numbers.
void keepInOrder(RenameCriteria& c, EditOutcome& out, std::string_view from, std::string_view to,
                 bool (*wrongOrder)(int changed, int other)) {
    const CriteriaField& changed = field(from);
    const CriteriaField& other = field(to);
    if (wrongOrder(text::atoiRule(c.*changed.text), text::atoiRule(c.*other.text))) {
        c.*other.text = c.*changed.text;
        out.alsoChanged.push_back(&other);
    }
}

} // namespace

EditOutcome applyCriteriaEdit(RenameCriteria& c, const CriteriaField& f, std::string_view value) {
    EditOutcome out;
    switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::Integer:
        c.*f.text = value;
        break;
    case FieldKind::Choice:
        c.*f.choice = text::atoiRule(value);
        break;
    case FieldKind::Flag:
        c.*f.flag = text::atoiRule(value) != 0;
        break;
    }
    if (f.panel == Panel::Selections) {
        out.rescan = true;
        return out;
    }
    if (f.name == "fixedName") {
        choose(c, out, "filenameMode", kFilenameFixed);
    } else if (f.name == "dateCustom") {
        choose(c, out, "dateFormat", kDateFormatCustom);
    } else if (f.name == "numberInsertPos") {
        choose(c, out, "numberMode", kNumberInsert);
    } else if (f.name == "fixedExtension") {
        // "Extra", "Remove" and "Convert" use the text too and stay chosen.
        choose(c, out, "extensionMode", kExtFixed, [](int mode) { return mode >= kExtFixed; });
    } else if (f.name == "removeFrom") {
        keepInOrder(c, out, "removeFrom", "removeTo", [](int from, int to) { return to < from; });
    } else if (f.name == "removeTo") {
        keepInOrder(c, out, "removeTo", "removeFrom", [](int to, int from) { return from > to; });
    }
    return out;
}

std::vector<const CriteriaField*> panelFields(Panel panel) {
    std::vector<const CriteriaField*> fields;
    for (const CriteriaField& f : criteriaFields())
        if (f.panel == panel)
            fields.push_back(&f);
    return fields;
}

} // namespace vantrel
