#include "TypeNames.h"

#include "filelist/WildcardMatch.h"
#include "text/Utf8Text.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vantrel::qtsupport {

namespace {

/// Icon names by type name, for every provider of the process: the list
/// knows an entry's type name only, and asks here once per type.
struct IconNames {
    std::mutex mutex;
    std::unordered_map<std::string, std::pair<std::string, std::string>> byTypeName;
};

IconNames& iconNames() {
    static IconNames names;
    return names;
}

void rememberIcons(const std::string& typeName, const QMimeType& type) {
    IconNames& names = iconNames();
    const std::lock_guard lock(names.mutex);
    names.byTypeName.try_emplace(typeName, type.iconName().toStdString(),
                                 type.genericIconName().toStdString());
}

/// The folders that hold the MIME database, most important first.
std::vector<std::string> mimeFolders() {
    std::vector<std::string> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    if (home != nullptr && *home != 0)
        folders.push_back(std::string(home) + "/mime");
    else if (user != nullptr && *user != 0)
        folders.push_back(std::string(user) + "/.local/share/mime");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != 0 ? dirs : "/usr/local/share:/usr/share");
    std::string dir;
    while (std::getline(list, dir, ':'))
        if (!dir.empty())
            folders.push_back(dir + "/mime");
    return folders;
}

/// Type names by file name. Asking the database takes several microseconds
/// per name, too slow for folders of 100,000 files, so answers are cached by
/// the name's text from its first "." on: for a name that only patterns of
/// the form "*.ext" can match, that text decides the answer. Names that any
/// other pattern (a whole name such as "Makefile", or "README*") might match
/// are always asked; the patterns are read from the database's glob files.
class MimeTypeNames {
public:
    MimeTypeNames() { indexed_ = readGlobs(); }

    std::string operator()(std::string_view name, bool isFolder) {
        if (isFolder) {
            if (folder_.empty())
                folder_ = comment(database_.mimeTypeForName(QStringLiteral("inode/directory")));
            return folder_;
        }
        if (!indexed_ || needsWholeName(name))
            return ask(name);
        const std::size_t dot = name.find('.');
        std::string key(dot == 0 ? "\x01" : ""); // a leading dot may be treated apart
        key += dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
        auto it = bySuffix_.find(key);
        if (it == bySuffix_.end())
            it = bySuffix_.emplace(std::move(key), ask(name)).first;
        return it->second;
    }

private:
    bool readGlobs() {
        bool found = false;
        for (const std::string& folder : mimeFolders()) {
            std::ifstream in(folder + "/globs2");
            if (!in)
                continue;
            found = true;
            std::string line;
            while (std::getline(in, line)) {
                // weight:type:pattern[:flags]
                if (line.empty() || line.front() == '#')
                    continue;
                const std::size_t a = line.find(':');
                const std::size_t b = a == std::string::npos ? a : line.find(':', a + 1);
                if (b == std::string::npos)
                    continue;
                const std::size_t c = line.find(':', b + 1);
                addPattern(std::string_view(line).substr(
                    b + 1, c == std::string::npos ? std::string::npos : c - b - 1));
            }
        }
        return found;
    }

    void addPattern(std::string_view pattern) {
        const bool wild = pattern.find_first_of("*?[") != std::string_view::npos;
        if (pattern.starts_with("*.") &&
            pattern.substr(2).find_first_of("*?[") == std::string_view::npos)
            return; // a plain extension: covered by the cache key
        std::string lower = text::toLower(pattern);
        if (!wild) {
            literals_.insert(std::move(lower));
            return;
        }
        // A character class stands for one character: "?" matches at least
        // as much, which errs on the side of asking.
        std::string simplified;
        for (std::size_t i = 0; i < lower.size(); ++i) {
            if (lower[i] == '[') {
                const std::size_t close = lower.find(']', i + 1);
                if (close != std::string::npos) {
                    simplified += '?';
                    i = close;
                    continue;
                }
            }
            simplified += lower[i];
        }
        others_.push_back(std::move(simplified));
    }

    bool needsWholeName(std::string_view name) {
        lower_ = text::toLower(name);
        if (literals_.count(lower_) != 0)
            return true;
        for (const std::string& pattern : others_)
            if (wildcardMatch(pattern, lower_))
                return true;
        return false;
    }

    std::string ask(std::string_view name) {
        return comment(database_.mimeTypeForFile(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
            QMimeDatabase::MatchExtension));
    }

    std::string comment(const QMimeType& type) {
        std::string key = type.name().toStdString();
        auto it = comments_.find(key);
        if (it == comments_.end()) {
            it = comments_.emplace(std::move(key), type.comment().toStdString()).first;
            rememberIcons(it->second, type);
        }
        return it->second;
    }

    QMimeDatabase database_;
    bool indexed_ = false;
    std::unordered_set<std::string> literals_;
    std::vector<std::string> others_;
    std::unordered_map<std::string, std::string> bySuffix_;
    std::unordered_map<std::string, std::string> comments_;
    std::string folder_;
    std::string lower_;
};

} // namespace

std::pair<std::string, std::string> typeIconNames(const std::string& typeName) {
    IconNames& names = iconNames();
    const std::lock_guard lock(names.mutex);
    const auto it = names.byTypeName.find(typeName);
    return it == names.byTypeName.end() ? std::pair<std::string, std::string>{} : it->second;
}

TypeNameProvider mimeTypeNames() {
    // Made on first use: commands that never ask for a type pay nothing.
    auto names = std::make_shared<std::unique_ptr<MimeTypeNames>>();
    return [names](std::string_view name, bool isFolder) {
        if (!*names)
            *names = std::make_unique<MimeTypeNames>();
        return (**names)(name, isFolder);
    };
}

} // namespace vantrel::qtsupport
