#include "media_probe.h"

#include <gtest/gtest.h>

#include <QProcess>

QByteArray runTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(600000);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

std::map<std::string, std::string> probeVideo(const QString& path) {
    const QByteArray out = runTool(
        "ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                    "stream=codec_name,codec_tag_string,pix_fmt,width,height,nb_read_frames,r_frame_rate",
                    "-of", "default=nw=1", path});
    std::map<std::string, std::string> values;
    for (const QByteArray& line : out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0) values[line.left(eq).toStdString()] = line.mid(eq + 1).toStdString();
    }
    return values;
}
