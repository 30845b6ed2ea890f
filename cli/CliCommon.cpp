#include "CliCommon.h"

#include "engine/CriteriaFields.h"
#include "favourites/FavouriteFile.h"
#include "text/Utf8Text.h"

namespace vantrel::cli {

/// Takes the criteria options shared by every command; false when `arg` is none of them.
bool takeCriteriaOption(const std::string& arg, ArgReader& reader, CriteriaOptions& options,
                        UsageError& error) {
    if (arg == "--favourite") {
        if (auto v = reader.value(arg, error))
            options.favourite = *v;
    } else if (arg == "--set") {
        if (auto v = reader.value(arg, error))
            options.settings.push_back(*v);
    } else if (arg == "--replace-match-case") {
        options.replaceMatchCase = true;
    } else if (arg == "--ignore-folder-extensions") {
        options.ignoreFolderExtensions = true;
    } else {
        return false;
    }
    return true;
}

std::optional<RenameCriteria> buildCriteria(FileSystem& fs, const CriteriaOptions& options,
                                            std::string* path, UsageError& error) {
    RenameCriteria criteria;
    if (options.favourite) {
        const Result loaded = loadFavourite(fs, *options.favourite, criteria, path);
        if (!loaded.ok()) {
            error.text = "cannot read favourites file: " + loaded.error().text();
            return std::nullopt;
        }
    }
    for (const std::string& setting : options.settings) {
        const std::size_t eq = setting.find('=');
        if (eq == std::string::npos) {
            error.text = "--set needs SECTION/KEY=VALUE: '" + setting + "'";
            return std::nullopt;
        }
        const std::string_view name = std::string_view(setting).substr(0, eq);
        const std::size_t slash = name.find('/');
        const std::string_view section = name.substr(0, std::min(slash, name.size()));
        const std::string_view key =
            slash == std::string_view::npos ? std::string_view{} : name.substr(slash + 1);
        const FavouriteSetting applied = applyFavouriteSetting(
            criteria, section, key, std::string_view(setting).substr(eq + 1), path);
        if (applied == FavouriteSetting::UnknownLine) {
            error.text = "no line '" + std::string(std::string_view(setting).substr(eq + 1)) +
                         "' in the drop-down " + std::string(name) + " (--set";
            for (const CriteriaField& field : criteriaFields()) {
                if (!text::equalsIgnoreCase(field.section, section) ||
                    !text::equalsIgnoreCase(field.key, key) || field.lines == nullptr)
                    continue;
                error.text += "; its lines are";
                const auto lines = field.lines();
                for (std::size_t i = 0; i < lines.size(); ++i)
                    error.text +=
                        (i == 0 ? " " : ", ") + std::to_string(i) + " " + std::string(lines[i]);
            }
            error.text += "; vantrel-cli keys lists every key)";
            return std::nullopt;
        }
        if (slash == std::string_view::npos || applied != FavouriteSetting::Applied) {
            const bool badSection = applied == FavouriteSetting::UnknownSection;
            error.text = std::string(badSection ? "unknown favourites section '"
                                                : "unknown favourites key '") +
                         std::string(badSection ? section : name) + "' in --set";
            return std::nullopt;
        }
    }
    criteria.replaceMatchCase = options.replaceMatchCase;
    return criteria;
}

/// Reads "YYYY-MM-DD HH:MM:SS" strictly, checking every field's range.
std::optional<DateTime> parseDate(std::string_view text) {
    if (text.size() != 19)
        return std::nullopt;
    constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i)
            v = v * 10 + (text[i] - '0');
        return static_cast<std::uint16_t>(v);
    };
    DateTime d;
    d.year = field(0, 4);
    d.month = field(5, 2);
    d.day = field(8, 2);
    d.hour = field(11, 2);
    d.minute = field(14, 2);
    d.second = field(17, 2);
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year == 0 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0) || d.hour > 23 ||
        d.minute > 59 || d.second > 59)
        return std::nullopt;
    return d;
}

std::string_view stateOf(const FileEntry& entry) {
    if (entry.newNameInvalid())
        return "invalid";
    if (entry.inConflict())
        return "conflict";
    return entry.isChanged() ? "new" : "same";
}

} // namespace vantrel::cli
