#include "engine/NewNameEngine.h"

#include "engine/NameSteps.h"
#include "text/Utf8Text.h"

#include <algorithm>

namespace vantrel {
namespace {

using text::atoiRule;
using text::decode;

bool isPlacement(int mode) {
    return mode == kPlacePrefix || mode == kPlaceSuffix;
}

} // namespace

NewNameEngine::NewNameEngine(const RenameCriteria& criteria, bool ignoreFolderExtensions)
    : c_(criteria), ignoreFolderExtensions_(ignoreFolderExtensions) {
    // Reg. Expr.: the box decides the case rule (clear: caseless, set: exact case).
    pattern_ = std::make_unique<RegexPattern>(c_.regexMatch, c_.regexMatchCase);
    regexActive_ = pattern_->isValid() && !c_.regexReplace.empty();
    regexReplace_ = decode(c_.regexReplace);
    fixedName_ = decode(c_.fixedName);
    replaceText_ = decode(c_.replaceText);
    if (!c_.replaceMatchCase)
        text::toLowerInPlace(replaceText_); // compared in lower case; lowered once here
    replaceWith_ = decode(c_.replaceWith);

    firstN_ = atoiRule(c_.removeFirstN);
    lastN_ = atoiRule(c_.removeLastN);
    from_ = atoiRule(c_.removeFrom);
    to_ = atoiRule(c_.removeTo);
    removeChars_ = decode(c_.removeChars);
    for (auto& word : splitWords(decode(c_.removeWords), U" ", true)) {
        if (!word.empty())
            removeWords_.push_back(std::move(word));
    }
    classRemovals_ = c_.removeDigits || c_.removeHigh || c_.removeLetters || c_.removeSymbols;
    // Digits, High, letters and symbols each judge one character alone, so
    // one pass gives what four passes in order would; ASCII by a table.
    for (char32_t ch = 0; ch < 0x80; ++ch) {
        removeAscii_[ch] =
            (c_.removeDigits && ch >= U'0' && ch <= U'9') ||
            (c_.removeLetters && ((ch >= U'a' && ch <= U'z') || (ch >= U'A' && ch <= U'Z'))) ||
            (c_.removeSymbols && isSymbolChar(ch));
    }

    prefix_ = decode(c_.prefix);
    insertText_ = decode(c_.insertText);
    insertPos_ = atoiRule(c_.insertPos);
    suffix_ = decode(c_.suffix);

    dateActive_ = isPlacement(c_.dateMode);
    if (dateActive_) {
        dates_ = std::make_unique<DateFormatter>(
            buildDateFormat(c_.dateFormat, c_.dateCentury, c_.dateSegmentSeparator, c_.dateCustom),
            atoiRule(c_.dateOffsetHours));
        // A custom format brings its own separators.
        if (c_.dateFormat != kDateFormatCustom)
            dateSeparator_ = decode(c_.dateSeparator);
    }
    folderSeparator_ = decode(c_.folderNameSeparator);
    numberMode_ = (c_.numberMode >= kNumberPrefix && c_.numberMode <= kNumberInsert) ? c_.numberMode
                                                                                     : kNumberNone;
    numberInsertPos_ = atoiRule(c_.numberInsertPos);
    numberSeparator_ = decode(c_.numberSeparator);
    fixedExtension_ = decode(c_.fixedExtension);

    const bool removals = firstN_ > 0 || lastN_ > 0 || (from_ != 0 && to_ != 0 && to_ >= from_) ||
                          !removeChars_.empty() || !removeWords_.empty() || classRemovals_;
    const bool additions =
        !prefix_.empty() || !suffix_.empty() || (!insertText_.empty() && insertPos_ > 0);
    identity_ = !regexActive_ && c_.filenameMode != kFilenameRemove &&
                c_.filenameMode != kFilenameFixed && replaceText_.empty() &&
                (c_.caseMode < kCaseLower || c_.caseMode > kCaseTitle) && !removals && !additions &&
                !dateActive_ && !isPlacement(c_.folderNameMode) && numberMode_ == kNumberNone &&
                (c_.extensionMode < 1 || c_.extensionMode > 7);
}

bool NewNameEngine::patternInvalid() const {
    return !c_.regexMatch.empty() && !pattern_->isValid();
}

std::string NewNameEngine::computeNewName(const NameInputs& in) {
    std::string out;
    computeNewName(in, out);
    return out;
}

void NewNameEngine::computeNewName(const NameInputs& in, std::string& out) {
    out.clear();
    if (identity_) {
        out.assign(in.name);
        return;
    }
    base_.clear();
    const bool validUtf8 = text::decodeAppend(in.name, base_);
    splitName(base_, in.isFolder, ignoreFolderExtensions_, ext_);

    if (regexActive_)
        applyRegex(in.name, validUtf8);

    if (c_.filenameMode == kFilenameRemove)
        base_.clear();
    else if (c_.filenameMode == kFilenameFixed)
        base_ = fixedName_;

    if (!base_.empty() && !replaceText_.empty())
        replaceAllPrepared(base_, replaceText_, replaceWith_, c_.replaceMatchCase);

    switch (c_.caseMode) {
    case kCaseLower:
        text::toLowerInPlace(base_);
        break;
    case kCaseUpper:
        text::toUpperInPlace(base_);
        break;
    case kCaseTitle:
        titleCase(base_);
        break;
    default:
        break;
    }

    applyRemovals();
    applyAdditions();
    if (dateActive_)
        applyDate(in.date);
    applyFolderName(in.parentFolderName);
    applyNumber(in.numberText);
    applyExtension();

    text::encodeAppend(base_, out);
    text::encodeAppend(ext_, out);
}

void NewNameEngine::applyRegex(std::string_view name, bool validUtf8) {
    // The pattern sees the whole name, extension included; the replace text
    // becomes the whole base, and only "\1" to "\9" refer to groups.
    const int result = pattern_->match(name, validUtf8);
    if (result < 0)
        return;
    base_ = regexReplace_;
    for (int g = 1; g <= result - 1 && g <= 9; ++g) {
        bytes_.clear();
        pattern_->appendGroup(g, bytes_);
        work_.clear();
        text::decodeAppend(bytes_, work_);
        const char32_t reference[2] = {U'\\',
                                       static_cast<char32_t>(U'0' + static_cast<char32_t>(g))};
        replaceAllPrepared(base_, std::u32string_view(reference, 2), work_, true);
    }
}

void NewNameEngine::applyRemovals() {
    if (firstN_ > 0) {
        if (static_cast<std::size_t>(firstN_) < base_.size())
            base_.erase(0, static_cast<std::size_t>(firstN_));
        else
            base_.clear();
    }
    // Last n at or beyond the length empties the base, as First n does.
    if (lastN_ > 0) {
        if (static_cast<std::size_t>(lastN_) < base_.size())
            base_.resize(base_.size() - static_cast<std::size_t>(lastN_));
        else
            base_.clear();
    }
    if (from_ != 0 && to_ != 0 && to_ >= from_) {
        // A From below 1 counts from the first character.
        const std::int64_t f = std::max<std::int64_t>(from_, 1);
        const std::int64_t t = std::min<std::int64_t>(to_, static_cast<std::int64_t>(base_.size()));
        if (t >= f)
            base_.erase(static_cast<std::size_t>(f - 1), static_cast<std::size_t>(t - f + 1));
    }
    if (!removeChars_.empty()) {
        std::erase_if(
            base_, [this](char32_t ch) { return removeChars_.find(ch) != std::u32string::npos; });
    }
    for (const auto& word : removeWords_)
        removeWord(base_, word);
    if (classRemovals_) {
        std::erase_if(base_, [this](char32_t ch) {
            return ch < 0x80 ? removeAscii_[ch]
                             : (c_.removeHigh || (c_.removeSymbols && isSymbolChar(ch)));
        });
    }
}

void NewNameEngine::applyAdditions() {
    if (!prefix_.empty())
        base_.insert(0, prefix_);
    if (!insertText_.empty() && insertPos_ > 0)
        insertAt(base_, std::int64_t{insertPos_} - 1, insertText_);
    if (!suffix_.empty())
        base_.append(suffix_);
}

void NewNameEngine::applyDate(const DateTime& date) {
    if (date.year == 0)
        return;
    bytes_.clear();
    // A date that cannot be converted adds nothing, separator included.
    if (!dates_->format(date, bytes_))
        return;
    placeText(c_.dateMode, bytes_, dateSeparator_);
}

void NewNameEngine::applyFolderName(std::string_view parentFolderName) {
    if (!isPlacement(c_.folderNameMode))
        return;
    placeText(c_.folderNameMode, parentFolderName, folderSeparator_);
}

void NewNameEngine::placeText(int mode, std::string_view text, std::u32string_view separator) {
    work_.clear();
    text::decodeAppend(text, work_);
    if (mode == kPlacePrefix) {
        work_.append(separator);
        base_.insert(0, work_);
    } else {
        base_.append(separator);
        base_.append(work_);
    }
}

void NewNameEngine::applyNumber(std::string_view numberText) {
    if (numberMode_ == kNumberNone)
        return;
    work_.clear();
    text::decodeAppend(numberText, work_);
    switch (numberMode_) {
    case kNumberPrefix:
        base_.insert(0, numberSeparator_);
        base_.insert(0, work_);
        break;
    case kNumberSuffix:
        base_.append(numberSeparator_);
        base_.append(work_);
        break;
    case kNumberBoth:
        base_.insert(0, numberSeparator_);
        base_.insert(0, work_);
        base_.append(numberSeparator_);
        base_.append(work_);
        break;
    case kNumberInsert:
        work_.insert(0, numberSeparator_);
        work_.append(numberSeparator_);
        insertAt(base_, numberInsertPos_, work_);
        break;
    default:
        break;
    }
}

void NewNameEngine::applyExtension() {
    switch (c_.extensionMode) {
    case kExtLower:
        text::toLowerInPlace(ext_);
        break;
    case kExtUpper:
        text::toUpperInPlace(ext_);
        break;
    case kExtTitle:
        titleCase(ext_);
        break;
    case kExtFixed:
        ext_.assign(1, U'.');
        ext_ += fixedExtension_;
        break;
    case kExtExtra:
        ext_.push_back(U'.');
        ext_ += fixedExtension_;
        break;
    case kExtRemove:
        ext_.clear();
        break;
    case kExtConvert:
        if (!ext_.empty() && ext_[0] == U'.')
            ext_.erase(0, 1);
        break;
    default:
        break;
    }
}

} // namespace vantrel
