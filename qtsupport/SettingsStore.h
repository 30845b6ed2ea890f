#pragma once

#include "engine/Preferences.h"

#include <QSettings>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::qtsupport {

/// The program's per-user settings: QSettings("Olvesco", <application
/// name>) in the native format (on Linux the INI file
/// $XDG_CONFIG_HOME/Olvesco/<application name>.conf), with sections such as
/// "Preferences", "Main Window" and "Tip". A missing or unreadable value
/// reads as its default; writes that the store cannot keep are lost, as
/// settings writes are.
class SettingsStore {
public:
    /// The store of the running application (its QCoreApplication name).
    SettingsStore();
    /// A store over the given settings, for tests.
    explicit SettingsStore(std::unique_ptr<QSettings> settings);

    [[nodiscard]] std::int32_t readInt(std::string_view section, std::string_view key,
                                       std::int32_t fallback) const;
    void writeInt(std::string_view section, std::string_view key, std::int32_t value);
    /// The text of a value; nullopt when it is missing. Bytes that are not
    /// UTF-8 survive a write and a read unchanged.
    [[nodiscard]] std::optional<std::string> readText(std::string_view section,
                                                      std::string_view key) const;
    void writeText(std::string_view section, std::string_view key, std::string_view value);

    /// Reads the "Preferences" section into `preferences`; missing values
    /// keep the record's defaults.
    void loadPreferences(Preferences& preferences) const;
    /// Writes every key of the "Preferences" section.
    void savePreferences(const Preferences& preferences);

    /// Writes pending changes to the file now.
    void sync();
    [[nodiscard]] QSettings& settings() { return *settings_; }

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace vantrel::qtsupport
