#include "favourites/IniFile.h"

#include "text/Utf8Text.h"

#include <algorithm>
#include <cerrno>

namespace vantrel {
namespace {

constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) {
    return trimRight(trimLeft(s));
}

// A value holding a line break would start a new line, and so a new key or
// section, in the file written.
std::string oneLine(std::string_view s) {
    std::string out(s);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

void cutToChars(std::string& s, std::size_t maxChars) {
    if (s.size() <= maxChars) // never more characters than bytes
        return;
    std::u32string chars = text::decode(s);
    if (chars.size() <= maxChars)
        return;
    chars.resize(maxChars);
    s = text::encode(chars);
}

// The value as the reading buffer receives it: blanks trimmed, one pair of
// enclosing quotes removed, cut to the buffer's size.
std::string bufferedValue(std::string_view afterEquals) {
    std::string_view v = trim(afterEquals);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    std::string out(v);
    cutToChars(out, IniFile::kMaxValueChars);
    return out;
}

void removeDoubleQuotes(std::string& s) {
    std::erase(s, '"');
}

} // namespace

// ---- parsing -------------------------------------------------------------

void IniFile::classify(Line& line) {
    const std::string_view content = line.content;
    const std::string_view t = trim(content);
    const std::size_t start = static_cast<std::size_t>(t.data() - content.data());
    line.kind = Kind::Other;
    if (!t.empty() && t.front() == '[') {
        const std::size_t close = t.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            const std::string_view name = trim(t.substr(1, close - 1));
            line.kind = Kind::Section;
            line.namePos = static_cast<std::size_t>(name.data() - content.data());
            line.nameLen = name.size();
            return;
        }
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return;
    line.kind = Kind::Key;
    line.namePos = start;
    line.nameLen = trimRight(t.substr(0, eq)).size();
    line.valuePos = start + eq + 1;
}

std::string_view IniFile::nameOf(const Line& line) {
    return std::string_view(line.content).substr(line.namePos, line.nameLen);
}

void IniFile::loadText(std::string_view content) {
    lines_.clear();
    loadError_.reset();
    missing_ = false;
    modified_ = false;
    while (!content.empty()) {
        // A line ends at LF, at CR LF, or at a CR alone, as the system's
        // profile reader takes it; each line keeps its own ending.
        Line line;
        const std::size_t end = content.find_first_of("\r\n");
        const std::string_view body = content.substr(0, end);
        if (end == std::string_view::npos) {
            content = {};
        } else if (content[end] == '\n') {
            line.ending = Ending::Lf;
            content.remove_prefix(end + 1);
        } else if (end + 1 < content.size() && content[end + 1] == '\n') {
            line.ending = Ending::CrLf;
            content.remove_prefix(end + 2);
        } else {
            line.ending = Ending::Cr;
            content.remove_prefix(end + 1);
        }
        line.content.assign(body);
        classify(line);
        lines_.push_back(std::move(line));
    }
}

std::string IniFile::text() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.content;
        if (line.ending == Ending::CrLf)
            out += "\r\n";
        else if (line.ending == Ending::Lf)
            out += '\n';
        else if (line.ending == Ending::Cr)
            out += '\r';
    }
    return out;
}

// ---- lookup --------------------------------------------------------------

std::optional<std::size_t> IniFile::findSection(std::string_view name) const {
    name = trim(name);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && text::equalsIgnoreCase(nameOf(lines_[i]), name))
            return i;
    }
    return std::nullopt;
}

std::size_t IniFile::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section)
        ++i;
    return i;
}

std::optional<std::size_t> IniFile::findKey(std::size_t header, std::string_view key) const {
    key = trim(key);
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Key && text::equalsIgnoreCase(nameOf(lines_[i]), key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string_view> IniFile::lookup(std::string_view section,
                                                std::string_view key) const {
    const std::optional<std::size_t> header = findSection(section);
    if (!header)
        return std::nullopt;
    const std::optional<std::size_t> line = findKey(*header, key);
    if (!line)
        return std::nullopt;
    return std::string_view(lines_[*line].content).substr(lines_[*line].valuePos);
}

std::string IniFile::stringValue(std::string_view afterEquals) {
    std::string value = bufferedValue(afterEquals);
    removeDoubleQuotes(value);
    return value;
}

std::int32_t IniFile::intValue(std::string_view afterEquals) {
    return text::atoiRule(bufferedValue(afterEquals));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    if (const std::optional<std::string_view> after = lookup(section, key))
        return stringValue(*after);
    std::string value(defaultValue);
    cutToChars(value, kMaxValueChars);
    removeDoubleQuotes(value);
    return value;
}

std::int32_t IniFile::ReadInt(std::string_view section, std::string_view key,
                              std::int32_t defaultValue) const {
    if (const std::optional<std::string_view> after = lookup(section, key))
        return intValue(*after);
    return defaultValue; // "%d" read back by the atoi rule is the number itself
}

// ---- writing -------------------------------------------------------------

IniFile::Ending IniFile::newline() const {
    // New lines end as the file's first line does.
    return !lines_.empty() && lines_.front().ending != Ending::None ? lines_.front().ending
                                                                    : Ending::Lf;
}

void IniFile::terminate(std::size_t index) {
    if (lines_[index].ending == Ending::None)
        lines_[index].ending = newline();
}

void IniFile::writeLine(std::string_view section, std::string_view key,
                        std::string_view valueText) {
    const std::string sectionName = oneLine(trim(section));
    const std::string keyName = oneLine(trim(key));
    const Ending ending = newline();
    const auto makeLine = [ending](std::string content) {
        Line line{std::move(content), ending};
        classify(line);
        return line;
    };
    const std::optional<std::size_t> header = findSection(sectionName);
    if (!header) {
        modified_ = true;
        if (!lines_.empty())
            terminate(lines_.size() - 1);
        lines_.push_back(makeLine("[" + sectionName + "]"));
        lines_.push_back(makeLine(keyName + "=" + std::string(valueText)));
        return;
    }
    if (const std::optional<std::size_t> found = findKey(*header, keyName)) {
        Line& line = lines_[*found];
        // Keep the file's own spelling of the key.
        std::string content = std::string(nameOf(line)) + "=" + std::string(valueText);
        if (content != line.content) {
            line.content = std::move(content);
            classify(line);
            modified_ = true;
        }
        return;
    }
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay in place.
    std::size_t last = *header;
    const std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (!trim(lines_[i].content).empty())
            last = i;
    }
    modified_ = true;
    terminate(last);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                  makeLine(keyName + "=" + std::string(valueText)));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    writeLine(section, key, "\"" + oneLine(value) + "\"");
}

void IniFile::WriteInt(std::string_view section, std::string_view key, std::int32_t value) {
    writeLine(section, key, std::to_string(value));
}

} // namespace vantrel

// ---- the file ------------------------------------------------------------

namespace vantrel {

void IniFile::SetFile(std::string path) {
    path_ = std::move(path);
    std::string content;
    Result read = fs_ != nullptr ? fs_->readFile(path_, content, kMaxFileBytes)
                                 : Result(Error{"read", path_, "no file system given", 0});
    loadText(read.ok() ? std::string_view(content) : std::string_view());
    if (!read.ok()) {
        loadError_ = read.error();
        missing_ = read.error().code == ENOENT;
    }
}

Result IniFile::loadResult() const {
    if (loadError_)
        return *loadError_;
    return {};
}

Result IniFile::commit() {
    if (path_.empty())
        return Error{"write", path_, "no file named"};
    if (loadError_ && !missing_)
        return *loadError_; // never replace a file whose content was not read
    if (!modified_)
        return {};
    if (fs_ == nullptr)
        return Error{"write", path_, "no file system given", 0};
    if (Result written = fs_->writeFileAtomically(path_, text()); !written.ok())
        return written;
    loadError_.reset();
    missing_ = false;
    modified_ = false;
    return {};
}

} // namespace vantrel
