#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

// Runs a command-line tool to its end; a non-zero exit fails the calling test. Its standard output.
QByteArray runTool(const QString& program, const QStringList& args);

// What ffprobe reports of the first video stream of a media file, counting the frames by decoding:
// codec_name, codec_tag_string, pix_fmt, width, height, nb_read_frames, r_frame_rate.
std::map<std::string, std::string> probeVideo(const QString& path);

// Every frame of the first video stream, decoded by ffmpeg, as Format_RGB32 images of width x height.
QList<QImage> decodeFrames(const QString& path, int width, int height);
