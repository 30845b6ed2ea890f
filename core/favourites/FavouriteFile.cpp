#include "favourites/FavouriteFile.h"

#include "engine/CriteriaFields.h"
#include "favourites/IniFile.h"
#include "text/Utf8Text.h"

#include <cstdint>
#include <vector>

namespace vantrel {
namespace {

using Enc = FavouriteEncoding;

/// The key of a stored criteria field.
FavouriteKey keyOf(const CriteriaField& f) {
    FavouriteKey k;
    k.field = &f;
    k.section = f.section;
    k.key = f.key;
    switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::Integer:
        k.encoding = Enc::Text;
        k.text = f.text;
        k.defaultText = f.defaultText;
        break;
    case FieldKind::Flag:
        k.encoding = Enc::CheckBox;
        k.flag = f.flag;
        k.defaultNumber = f.defaultNumber;
        break;
    case FieldKind::Choice:
        k.encoding = Enc::DropDown;
        k.choice = f.choice;
        k.defaultNumber = f.defaultNumber;
        k.lines = static_cast<int>(f.lines().size());
        break;
    }
    return k;
}

/// "General"/"Path" first, then the stored criteria fields in their order,
/// which is the layout of a new file.
const std::vector<FavouriteKey>& keyTable() {
    static const std::vector<FavouriteKey> keys = [] {
        std::vector<FavouriteKey> v(1);
        v[0].section = "General";
        v[0].key = "Path";
        for (const CriteriaField& f : criteriaFields())
            if (!f.section.empty())
                v.push_back(keyOf(f));
        return v;
    }();
    return keys;
}

void storeText(const FavouriteKey& k, RenameCriteria& criteria, std::string* generalPath,
               std::string value) {
    if (k.text != nullptr)
        criteria.*k.text = std::move(value);
    else if (generalPath != nullptr)
        *generalPath = std::move(value);
}

/// Whether the atoi rule reads digits in `text` (blanks, a sign, then a digit).
bool startsWithNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

void storeNumber(const FavouriteKey& k, RenameCriteria& criteria, std::int32_t value) {
    if (k.encoding == Enc::CheckBox)
        criteria.*k.flag = value != 0;
    else
        criteria.*k.choice = value >= 0 && value < k.lines ? value : -1;
}

} // namespace

std::span<const FavouriteKey> favouriteKeys() {
    return keyTable();
}

Result saveFavourite(FileSystem& fs, const std::string& path, const RenameCriteria& criteria,
                     std::string_view generalPath) {
    IniFile ini(fs);
    ini.SetFile(path);
    for (const FavouriteKey& k : keyTable()) {
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
    for (const FavouriteKey& k : keyTable()) {
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
    for (const FavouriteKey& k : keyTable()) {
        if (!text::equalsIgnoreCase(k.section, section))
            continue;
        sectionKnown = true;
        if (!text::equalsIgnoreCase(k.key, key))
            continue;
        if (k.encoding == Enc::Text) {
            storeText(k, criteria, generalPath, IniFile::stringValue(rawValue));
        } else if (k.encoding == Enc::DropDown &&
                   !startsWithNumber(IniFile::stringValue(rawValue))) {
            // A line by its text: what a drop-down shows, not its position.
            const std::optional<int> line =
                choiceLineNamed(*k.field, trimmed(IniFile::stringValue(rawValue)));
            if (!line)
                return FavouriteSetting::UnknownLine;
            storeNumber(k, criteria, *line);
        } else {
            storeNumber(k, criteria, IniFile::intValue(rawValue));
        }
        return FavouriteSetting::Applied;
    }
    return sectionKnown ? FavouriteSetting::UnknownKey : FavouriteSetting::UnknownSection;
}

} // namespace vantrel
