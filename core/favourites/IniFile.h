#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// An initialisation file ("[Section]" lines, "key=value" lines) held in memory
/// and written back as a whole. Names match without regard to case; every line
/// that is not written to stays byte for byte, line endings included. Reads
/// never fail (a missing file, section or key yields the default); the only
/// failures are the load, which loadResult() reports, and commit(). The file
/// is read and written through the file system given, never directly.
class IniFile {
public:
    /// A document without a file system: loadText() and text() only.
    IniFile() = default;
    /// A document read from and written to files of `fs`.
    explicit IniFile(FileSystem& fs) : fs_(&fs) {}

    /// At most this many characters of a value are read (the classic 260-character buffer).
    static constexpr std::size_t kMaxValueChars = 259;
    /// Files beyond this size are refused: a favourites file is a few kilobytes.
    static constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

    /// Remembers the path and loads the file. A missing or unreadable file
    /// gives an empty document; loadResult() then holds the reason.
    void SetFile(std::string path);

    /// Replaces the document by `content`, as if the file held it; the path is kept.
    void loadText(std::string_view content);

    /// The path given to SetFile.
    [[nodiscard]] const std::string& path() const { return path_; }

    /// Failure when the last SetFile could not read the file (a missing file included).
    [[nodiscard]] Result loadResult() const;

    /// The value of `key` in `section`: one pair of enclosing quotes removed,
    /// cut to kMaxValueChars characters, then every double quote removed.
    /// `defaultValue` when the section or key is absent.
    [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue = {}) const;

    /// The value read as text (without the removal of inner double quotes) and
    /// converted by the atoi rule; `defaultValue` when absent.
    [[nodiscard]] std::int32_t ReadInt(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const;

    /// Writes key="value". Line breaks in the value become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    /// Writes key=value in decimal, unquoted.
    void WriteInt(std::string_view section, std::string_view key, std::int32_t value);

    /// The document as it would be written.
    [[nodiscard]] std::string text() const;

    /// Whether a write changed the document since it was loaded or committed.
    [[nodiscard]] bool modified() const { return modified_; }

    /// Writes the document to the file atomically (FileSystem::writeFileAtomically:
    /// a symbolic link is kept and its final target replaced). Fails without
    /// writing when the file exists but could not be read, so that its content
    /// is never replaced unseen; otherwise reports the failing operation.
    [[nodiscard]] Result commit();

    /// The text that ReadString returns for a key line whose text after "=" is `afterEquals`.
    [[nodiscard]] static std::string stringValue(std::string_view afterEquals);
    /// The number that ReadInt returns for a key line whose text after "=" is `afterEquals`.
    [[nodiscard]] static std::int32_t intValue(std::string_view afterEquals);

private:
    enum class Kind : unsigned char { Other, Section, Key };
    enum class Ending : unsigned char { None, Lf, CrLf, Cr };

    struct Line {
        std::string content; // without its line ending
        Ending ending = Ending::None;
        Kind kind = Kind::Other;
        std::size_t namePos = 0; // section or key name, trimmed
        std::size_t nameLen = 0;
        std::size_t valuePos = 0; // keys: just after the "="
    };

    static void classify(Line& line);
    static std::string_view nameOf(const Line& line);

    [[nodiscard]] std::optional<std::size_t> findSection(std::string_view name) const;
    [[nodiscard]] std::size_t sectionEnd(std::size_t header) const;
    [[nodiscard]] std::optional<std::size_t> findKey(std::size_t header,
                                                     std::string_view key) const;
    [[nodiscard]] std::optional<std::string_view> lookup(std::string_view section,
                                                         std::string_view key) const;
    [[nodiscard]] Ending newline() const;
    void terminate(std::size_t index);
    void writeLine(std::string_view section, std::string_view key, std::string_view valueText);
    FileSystem* fs_ = nullptr;
    std::string path_;
    std::vector<Line> lines_;
    std::optional<Error> loadError_;
    bool missing_ = false; // the load failed because the file does not exist
    bool modified_ = false;
};

} // namespace vantrel
