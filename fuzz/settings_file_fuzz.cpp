// The settings file written then read: whatever file the input is, the settings read from it are
// written back by both writers and read again unchanged, and a second write changes no byte.
#include <QFile>
#include <QTemporaryDir>

#include "fuzz/fuzz_input.h"
#include "settings/logic/settings_file.h"

namespace {

auto fields(const Settings& s) {
    return std::tuple(s.ScalePercent, s.JpegQuality, s.PrintPercent, s.StoredSaveType, s.RecordRate,
                      s.FrameLimit, s.FrameLimitEnabled, s.AlwaysOnTop, s.SaveDirectory, s.DesignatedPrefix,
                      s.IntervalPrefix, s.MoviePrefix);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QTemporaryDir dir;
    const QString program = dir.path() + QLatin1Char('/');
    const QString ini = settingsFilePath(program);
    {
        QFile file(ini);
        check(file.open(QIODevice::WriteOnly) &&
              file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size) && file.flush());
    }
    const Settings read = readSettings(ini, program);
    check(writeSettings(ini, read) && writeSaveDirectory(ini, read.SaveDirectory));
    check(fields(readSettings(ini, program)) == fields(read));
    const QByteArray written = contents(ini);
    check(writeSettings(ini, read) && writeSaveDirectory(ini, read.SaveDirectory));
    check(contents(ini) == written);
    return 0;
}
