#pragma once

#include "engine/AutoDate.h"
#include "engine/RegexPattern.h"
#include "engine/RenameCriteria.h"
#include "platform/DateTime.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// What the pipeline needs of one entry.
struct NameInputs {
    std::string_view name;             ///< current name, extension included
    DateTime date;                     ///< the date chosen by the Date "Type"
    std::string_view numberText;       ///< the counter written by formatNumber
    std::string_view parentFolderName; ///< last component of the containing folder
    bool isFolder = false;
};

/// Turns current names into new names by the twelve fixed steps, from one
/// captured set of criteria. Everything that depends only on the criteria
/// (the compiled pattern, numbers read from text boxes, decoded texts) is
/// prepared once at construction. Never fails: an invalid pattern only makes
/// the Reg. Expr. step inactive. Not thread-safe (it reuses scratch buffers).
class NewNameEngine {
public:
    NewNameEngine(const RenameCriteria& criteria, bool ignoreFolderExtensions);

    /// Whether "Match" is non-empty and failed to compile.
    [[nodiscard]] bool patternInvalid() const;
    /// Whether the Numbering step uses the number text (callers may skip formatting it).
    [[nodiscard]] bool usesNumber() const { return numberMode_ != kNumberNone; }
    /// Whether the Auto Date step uses the date (callers may skip reading it).
    [[nodiscard]] bool usesDate() const { return dateActive_; }

    /// Computes the new name of one entry into `out` (replacing its content).
    void computeNewName(const NameInputs& in, std::string& out);
    [[nodiscard]] std::string computeNewName(const NameInputs& in);

private:
    void applyRegex(std::string_view name, bool validUtf8);
    void applyRemovals();
    void applyAdditions();
    void applyDate(const DateTime& date);
    void applyFolderName(std::string_view parentFolderName);
    void applyNumber(std::string_view numberText);
    /// Puts `text` and `separator` in front of the base (Prefix) or behind it.
    void placeText(int mode, std::string_view text, std::u32string_view separator);
    void applyExtension();

    RenameCriteria c_;
    bool ignoreFolderExtensions_;
    bool identity_ = false;

    std::unique_ptr<RegexPattern> pattern_;
    bool regexActive_ = false;
    std::u32string regexReplace_, fixedName_, replaceText_, replaceWith_;
    std::int32_t firstN_ = 0, lastN_ = 0, from_ = 0, to_ = 0;
    std::u32string removeChars_;
    std::vector<std::u32string> removeWords_;
    bool classRemovals_ = false;
    std::array<bool, 0x80> removeAscii_{};
    std::u32string prefix_, insertText_, suffix_;
    std::int32_t insertPos_ = 0;
    bool dateActive_ = false;
    std::unique_ptr<DateFormatter> dates_;
    std::u32string dateSeparator_, folderSeparator_;
    int numberMode_ = kNumberNone;
    std::int32_t numberInsertPos_ = 0;
    std::u32string numberSeparator_, fixedExtension_;

    // Scratch, reused from entry to entry.
    std::u32string base_, ext_, work_;
    std::string bytes_;
};

} // namespace vantrel
