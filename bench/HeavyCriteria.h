#pragma once

#include "engine/RenameCriteria.h"

namespace vantrel::bench {

/// Criteria that make every step of the engine work: the heavy case of the
/// preview and window benchmarks.
inline RenameCriteria heavyCriteria() {
    RenameCriteria c;
    c.regexMatch = R"(^(\w+)[ _-](.*)\.)";
    c.regexReplace = R"(\2 \1)";
    c.replaceText = "final";
    c.replaceWith = "last";
    c.caseMode = kCaseTitle;
    c.removeFirstN = "1";
    c.removeSymbols = true;
    c.prefix = "P-";
    c.suffix = "-S";
    c.dateMode = kPlaceSuffix;
    c.dateFormat = 8; // YMD HMS
    c.dateCentury = true;
    c.dateSeparator = "_";
    c.numberMode = kNumberInsert;
    c.numberInsertPos = "3";
    c.numberPad = "5";
    c.numberBase = 14; // base 16
    c.extensionMode = kExtLower;
    return c;
}

} // namespace vantrel::bench
