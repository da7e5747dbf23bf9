#include "media_probe.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <cstring>

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

QList<QImage> decodeFrames(const QString& path, int width, int height) {
    const QByteArray raw =
        runTool("ffmpeg", {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    const qsizetype frameBytes = qsizetype(width) * height * 4;
    QList<QImage> frames;
    for (qsizetype at = 0; frameBytes > 0 && at + frameBytes <= raw.size(); at += frameBytes) {
        QImage frame(width, height, QImage::Format_RGB32);
        std::memcpy(frame.bits(), raw.constData() + at, std::size_t(frameBytes));
        frames << frame;
    }
    return frames;
}
