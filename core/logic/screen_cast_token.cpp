#include "core/logic/screen_cast_token.h"

#include <QDir>
#include <QFileInfo>

#include "platform/system/ini_profile.h"

namespace {
const QString kSection = QStringLiteral("wayland");
const QString kKey = QStringLiteral("screencast");
}  // namespace

QString readScreenCastToken(const QString& iniPath) {
    return IniProfile::read(iniPath).readString(kSection, kKey).value_or(QString());
}

bool writeScreenCastToken(const QString& iniPath, const QString& token) {
    std::optional<IniProfile> profile = IniProfile::readForUpdate(iniPath);
    if (!profile || !profile->writeString(kSection, kKey, token)) return false;
    // An installed copy's configuration folder may not exist yet.
    return QDir().mkpath(QFileInfo(iniPath).absolutePath()) && profile->save(iniPath);
}
