#include "SettingsStore.h"

#include "text/Utf8Text.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace vantrel::qtsupport {
namespace {

QString keyPath(std::string_view section, std::string_view key) {
    QString path = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    path += QLatin1Char('/');
    path += QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    return path;
}

} // namespace

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Olvesco"),
                                            QCoreApplication::applicationName())) {}

SettingsStore::SettingsStore(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

std::int32_t SettingsStore::readInt(std::string_view section, std::string_view key,
                                    std::int32_t fallback) const {
    const QVariant value = settings_->value(keyPath(section, key));
    if (!value.isValid())
        return fallback;
    // Values are stored as 32-bit numbers; colours above 0x7FFFFFFF come back as such.
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > UINT32_MAX)
        return fallback;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
}

void SettingsStore::writeInt(std::string_view section, std::string_view key, std::int32_t value) {
    settings_->setValue(keyPath(section, key), value);
}

std::optional<std::string> SettingsStore::readText(std::string_view section,
                                                   std::string_view key) const {
    const QVariant value = settings_->value(keyPath(section, key));
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray().toStdString();
    // An unquoted text with commas in a hand-edited file reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

void SettingsStore::writeText(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (text::isValidUtf8(value))
        settings_->setValue(keyPath(section, key),
                            QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    else // kept byte for byte
        settings_->setValue(keyPath(section, key),
                            QByteArray(value.data(), static_cast<qsizetype>(value.size())));
}

void SettingsStore::loadPreferences(Preferences& preferences) const {
    constexpr std::string_view kSection = "Preferences";
    for (const PreferenceKey& k : preferenceKeys()) {
        if (k.text != nullptr) {
            if (auto value = readText(kSection, k.key))
                preferences.*k.text = std::move(*value);
        } else if (k.number != nullptr) {
            preferences.*k.number = readInt(kSection, k.key, preferences.*k.number);
        } else {
            preferences.*k.colour = static_cast<std::uint32_t>(
                readInt(kSection, k.key, static_cast<std::int32_t>(preferences.*k.colour)));
        }
    }
}

void SettingsStore::savePreferences(const Preferences& preferences) {
    constexpr std::string_view kSection = "Preferences";
    for (const PreferenceKey& k : preferenceKeys()) {
        if (k.text != nullptr)
            writeText(kSection, k.key, preferences.*k.text);
        else if (k.number != nullptr)
            writeInt(kSection, k.key, preferences.*k.number);
        else
            writeInt(kSection, k.key, static_cast<std::int32_t>(preferences.*k.colour));
    }
}

void SettingsStore::sync() {
    settings_->sync();
}

} // namespace vantrel::qtsupport
