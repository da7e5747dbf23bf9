#include "settings/logic/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <type_traits>
#include <variant>

#include "platform/system/ini_profile.h"
#include "settings/logic/integer_text.h"

namespace {

enum class Writer { Settings, SaveDirectory };

// The field a key holds; its type gives the stored width (integers keep their low bits) and the
// written form (decimal, "1"/"0" for booleans, texts as they are).
using Field = std::variant<std::int32_t Settings::*, std::uint8_t Settings::*, std::uint16_t Settings::*,
                           bool Settings::*, QString Settings::*>;

// A key of the settings file. A key that is missing or unusable leaves the field at its default,
// the value a new Settings record holds (for SaveDirectory, the program's folder).
struct SettingsKey {
    const char16_t* section;
    const char16_t* key;
    Field field;
    Writer writer;
};

// In the order the writers write them.
const std::array<SettingsKey, 12> kSettingsKeys{{
    {u"image", u"power", &Settings::ScalePercent, Writer::Settings},
    {u"image", u"frame", &Settings::RecordRate, Writer::Settings},
    {u"image", u"quality", &Settings::JpegQuality, Writer::Settings},
    {u"image", u"value", &Settings::PrintPercent, Writer::Settings},
    {u"image", u"stype", &Settings::StoredSaveType, Writer::Settings},
    {u"image", u"fb", &Settings::FrameLimit, Writer::Settings},
    {u"image", u"fbable", &Settings::FrameLimitEnabled, Writer::Settings},
    {u"image", u"upto", &Settings::AlwaysOnTop, Writer::Settings},
    {u"File", u"sdir", &Settings::DesignatedPrefix, Writer::Settings},
    {u"File", u"tdir", &Settings::IntervalPrefix, Writer::Settings},
    {u"File", u"mdir", &Settings::MoviePrefix, Writer::Settings},
    {u"File", u"Directory", &Settings::SaveDirectory, Writer::SaveDirectory},
}};

QString text(const char16_t* name) { return QString::fromUtf16(name); }

void readKey(const IniProfile& profile, const SettingsKey& entry, Settings& settings) {
    const std::optional<QString> stored = profile.readString(text(entry.section), text(entry.key));
    if (!stored) return;
    std::visit(
        [&](auto member) {
            auto& field = settings.*member;
            using Type = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<Type, QString>) {
                field = *stored;
            } else if (const auto number = parseIntegerText(*stored)) {
                // Narrower fields keep the low bits of the stored integer; booleans are any non-zero value.
                if constexpr (std::is_same_v<Type, bool>) {
                    field = *number != 0;
                } else {
                    field = static_cast<Type>(*number);
                }
            }
        },
        entry.field);
}

bool writeKey(IniProfile& profile, const SettingsKey& entry, const Settings& settings) {
    const QString value = std::visit(
        [&](auto member) {
            const auto& field = settings.*member;
            using Type = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<Type, QString>) {
                return field;
            } else if constexpr (std::is_same_v<Type, bool>) {
                return QString::number(field ? 1 : 0);
            } else {
                return QString::number(field);
            }
        },
        entry.field);
    return profile.writeString(text(entry.section), text(entry.key), value);
}

// One read-modify-save of the file for the keys of writer, and the hot keys when given.
bool writeKeys(const QString& iniPath, const Settings& settings, Writer writer,
               const HotkeySet* hotkeys = nullptr) {
    std::optional<IniProfile> profile = IniProfile::readForUpdate(iniPath);
    if (!profile) return false;
    for (const SettingsKey& entry : kSettingsKeys) {
        if (entry.writer == writer && !writeKey(*profile, entry, settings)) return false;
    }
    if (hotkeys && !writeHotkeys(*profile, *hotkeys)) return false;
    // An installed copy's configuration folder may not exist yet.
    if (!QDir().mkpath(QFileInfo(iniPath).absolutePath())) return false;
    return profile->save(iniPath);
}

}  // namespace

QString settingsFilePath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("kadrel.ini");
}

Settings readSettings(const QString& iniPath, const QString& programDirectory,
                      const QString& defaultSaveDirectory) {
    Settings settings;
    settings.ProgramDirectory = programDirectory;
    settings.SaveDirectory = defaultSaveDirectory;
    const IniProfile profile = IniProfile::read(iniPath);
    for (const SettingsKey& entry : kSettingsKeys) readKey(profile, entry, settings);
    // A rate of 0 frames per second cannot drive the frame timer.
    if (settings.RecordRate == 0) settings.RecordRate = Settings().RecordRate;
    return settings;
}

bool writeSettings(const QString& iniPath, const Settings& settings) {
    return writeKeys(iniPath, settings, Writer::Settings);
}

bool writeSettings(const QString& iniPath, const Settings& settings, const HotkeySet& hotkeys) {
    return writeKeys(iniPath, settings, Writer::Settings, &hotkeys);
}

bool writeSaveDirectory(const QString& iniPath, const QString& directory) {
    Settings settings;
    settings.SaveDirectory = directory;
    return writeKeys(iniPath, settings, Writer::SaveDirectory);
}
