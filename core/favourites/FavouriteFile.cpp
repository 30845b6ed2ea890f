#include "favourites/FavouriteFile.h"

#include "favourites/IniFile.h"
#include "text/Utf8Text.h"

#include <array>
#include <cstdint>

namespace vantrel {
namespace {

using C = RenameCriteria;
using Enc = FavouriteEncoding;

constexpr FavouriteKey textKey(std::string_view section, std::string_view key,
                               std::string C::*field, std::string_view defaultText = {}) {
    return {section, key, Enc::Text, field, nullptr, nullptr, defaultText, 0, 0};
}

constexpr FavouriteKey checkBox(std::string_view section, std::string_view key, bool C::*field,
                                bool ticked = false) {
    return {section, key, Enc::CheckBox, nullptr, field, nullptr, {}, ticked ? 1 : 0, 0};
}

constexpr FavouriteKey dropDown(std::string_view section, std::string_view key, int C::*field,
                                int lines, int defaultIndex = 0) {
    return {section, key, Enc::DropDown, nullptr, nullptr, field, {}, defaultIndex, lines};
}

// The order is the save order, and so the layout of a new file.
constexpr std::array<FavouriteKey, 49> kKeys{{
    textKey("General", "Path", nullptr),
    textKey("Regular Expressions", "Match", &C::regexMatch),
    textKey("Regular Expressions", "Replace", &C::regexReplace),
    checkBox("Regular Expressions", "Match Case", &C::regexMatchCase),
    dropDown("Filename", "Mode", &C::filenameMode, 3),
    textKey("Filename", "Fixed", &C::fixedName),
    textKey("Replacements", "Replace", &C::replaceText),
    textKey("Replacements", "With", &C::replaceWith),
    dropDown("Case", "Change", &C::caseMode, 4),
    textKey("Removals", "First N", &C::removeFirstN, "0"),
    textKey("Removals", "Last N", &C::removeLastN, "0"),
    textKey("Removals", "From", &C::removeFrom, "0"),
    textKey("Removals", "To", &C::removeTo, "0"),
    textKey("Removals", "Chars", &C::removeChars),
    textKey("Removals", "Words", &C::removeWords),
    checkBox("Removals", "All Digits", &C::removeDigits),
    checkBox("Removals", "All Chars", &C::removeLetters),
    checkBox("Removals", "All Symbols", &C::removeSymbols),
    checkBox("Removals", "All High", &C::removeHigh),
    textKey("Additions", "Prefix", &C::prefix),
    textKey("Additions", "Text", &C::insertText),
    textKey("Additions", "Text Pos", &C::insertPos),
    textKey("Additions", "Suffix", &C::suffix),
    dropDown("Auto Date", "Mode", &C::dateMode, 3),
    dropDown("Auto Date", "Type", &C::dateType, 5),
    dropDown("Auto Date", "Format", &C::dateFormat, 10),
    textKey("Auto Date", "Separator", &C::dateSeparator),
    textKey("Auto Date", "Segments", &C::dateSegmentSeparator),
    textKey("Auto Date", "Custom", &C::dateCustom),
    checkBox("Auto Date", "Century", &C::dateCentury),
    textKey("Auto Date", "Offset", &C::dateOffsetHours),
    dropDown("Folder Name", "Mode", &C::folderNameMode, 3),
    textKey("Folder Name", "Separator", &C::folderNameSeparator),
    dropDown("Auto-Number", "Mode", &C::numberMode, 5),
    textKey("Auto-Number", "Start", &C::numberStart, "1"),
    textKey("Auto-Number", "Insert", &C::numberInsertPos, "0"),
    textKey("Auto-Number", "Increment", &C::numberIncrement, "1"),
    textKey("Auto-Number", "Pad", &C::numberPad),
    textKey("Auto-Number", "Separator", &C::numberSeparator),
    dropDown("Auto-Number", "Base", &C::numberBase, 35, 8),
    dropDown("Extension", "Mode", &C::extensionMode, 8),
    textKey("Extension", "Fixed", &C::fixedExtension),
    textKey("Selections", "Filter", &C::filter, "*"),
    checkBox("Selections", "Files", &C::includeFiles, true),
    checkBox("Selections", "Folders", &C::includeFolders, true),
    checkBox("Selections", "Recursive", &C::recursive),
    checkBox("Selections", "Hidden", &C::includeHidden),
    textKey("Selections", "Min Length", &C::minLength, "0"),
    textKey("New Location", "Path", &C::newLocation),
}};

void storeText(const FavouriteKey& k, RenameCriteria& criteria, std::string* generalPath,
               std::string value) {
    if (k.text != nullptr)
        criteria.*k.text = std::move(value);
    else if (generalPath != nullptr)
        *generalPath = std::move(value);
}

void storeNumber(const FavouriteKey& k, RenameCriteria& criteria, std::int32_t value) {
    if (k.encoding == Enc::CheckBox)
        criteria.*k.flag = value != 0;
    else
        criteria.*k.choice = value >= 0 && value < k.lines ? value : -1;
}

} // namespace

std::span<const FavouriteKey> favouriteKeys() {
    return kKeys;
}

Result saveFavourite(FileSystem& fs, const std::string& path, const RenameCriteria& criteria,
                     std::string_view generalPath) {
    IniFile ini(fs);
    ini.SetFile(path);
    for (const FavouriteKey& k : kKeys) {
        switch (k.encoding) {
        case Enc::Text:
            ini.WriteString(k.section, k.key, k.text != nullptr ? criteria.*k.text : generalPath);
            break;
        case Enc::CheckBox:
            ini.WriteInt(k.section, k.key, criteria.*k.flag ? 1 : 0);
            break;
        case Enc::DropDown:
            ini.WriteInt(k.section, k.key, criteria.*k.choice);
            break;
        }
    }
    return ini.commit();
}

Result loadFavourite(FileSystem& fs, const std::string& path, RenameCriteria& criteria,
                     std::string* generalPath) {
    IniFile ini(fs);
    ini.SetFile(path);
    for (const FavouriteKey& k : kKeys) {
        if (k.encoding == Enc::Text)
            storeText(k, criteria, generalPath, ini.ReadString(k.section, k.key, k.defaultText));
        else
            storeNumber(k, criteria, ini.ReadInt(k.section, k.key, k.defaultNumber));
    }
    return ini.loadResult();
}

FavouriteSetting applyFavouriteSetting(RenameCriteria& criteria, std::string_view section,
                                       std::string_view key, std::string_view rawValue,
                                       std::string* generalPath) {
    // The same blanks that the file's names are trimmed of.
    constexpr std::string_view kBlanks = " \t\v\f\r\n";
    const auto trimmed = [kBlanks](std::string_view s) {
        const std::size_t first = s.find_first_not_of(kBlanks);
        const std::size_t last = s.find_last_not_of(kBlanks);
        return first == std::string_view::npos ? std::string_view()
                                               : s.substr(first, last - first + 1);
    };
    section = trimmed(section);
    key = trimmed(key);
    bool sectionKnown = false;
    for (const FavouriteKey& k : kKeys) {
        if (!text::equalsIgnoreCase(k.section, section))
            continue;
        sectionKnown = true;
        if (!text::equalsIgnoreCase(k.key, key))
            continue;
        if (k.encoding == Enc::Text)
            storeText(k, criteria, generalPath, IniFile::stringValue(rawValue));
        else
            storeNumber(k, criteria, IniFile::intValue(rawValue));
        return FavouriteSetting::Applied;
    }
    return sectionKnown ? FavouriteSetting::UnknownKey : FavouriteSetting::UnknownSection;
}

} // namespace vantrel
