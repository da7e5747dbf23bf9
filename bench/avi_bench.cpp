// Writes synthetic frames through AviMovieWriter and, with --codec, re-compresses the file with that
// encoder without a dialog. Prints "write: F frames/s, B MB/s" (file bytes, flushed to the disk,
// like dd conv=fdatasync) and, with a codec, "recompress: F frames/s".
// Usage: avi_bench --frames N --width W --height H --out FILE [--codec NAME] [--bits 16|24]
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/avi/avi_library_loader.h"
#include "platform/avi/codec_chooser.h"
#include "platform/x11/message_box.h"
#include "test_pictures.h"
#include "video/ui/avi_movie_writer.h"
#include "video/ui/save_progress_window.h"

namespace {

class PrintedMessages final : public MessageBoxes {
public:
    void message(QWidget*, const QString& text) override { print(text); }
    void error(QWidget*, const QString& text) override { print(text); }
    void warning(QWidget*, const QString& text) override { print(text); }
    bool question(QWidget*, const QString& text) override {
        print(text);
        return false;
    }
    static void print(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

// Picks the encoder, after timing the end of the write: the uncompressed file is complete and
// closed when the chooser is asked, and is flushed to the disk here. The re-save is timed until
// its progress window goes, that is without replacing the uncompressed file (for a 1 GB file,
// freeing its pages takes a further 0.2 s that the ffmpeg command line never spends).
class FixedCodec final : public CodecChooser {
public:
    explicit FixedCodec(AviLibraryLoader& module) : module(module) {}
    void chooseOptions(QWidget*, AviSource&, AviSaveOptions& options) override {
        flushAndStopClock();
        // The writer has loaded the module by now.
        if (const AviEncoder* encoder = module.library()->findEncoder(codec)) {
            options.fccHandler = encoder->fourcc;
            options.encoder = encoder->name;
        } else if (!codec.empty()) {
            std::fprintf(stderr, "unknown encoder %s\n", codec.c_str());
        }
        clock.start();
        QTimer::singleShot(0, [this] {
            if (avi && avi->progressWindow)
                QObject::connect(avi->progressWindow.data(), &QObject::destroyed,
                                 [this] { recompressNs = clock.nsecsElapsed(); });
        });
    }
    void flushAndStopClock() {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
        writeNs = clock.nsecsElapsed();
    }
    AviLibraryLoader& module;
    std::string codec;
    QString path;
    const AviMovieWriter* avi = nullptr;
    QElapsedTimer clock;
    qint64 writeNs = 0;
    qint64 recompressNs = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int frames = 100, width = 1920, height = 1080, bits = 16;
    QString out;
    // The module where the build puts it, beside the program in bin/.
    AviLibraryLoader module(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"));
    FixedCodec codec(module);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--frames")
            frames = std::atoi(value);
        else if (key == "--width")
            width = std::atoi(value);
        else if (key == "--height")
            height = std::atoi(value);
        else if (key == "--bits")
            bits = std::atoi(value);
        else if (key == "--out")
            out = QString::fromLocal8Bit(value);
        else if (key == "--codec")
            codec.codec = value;
        else {
            std::fprintf(stderr, "unknown option %s\n", key.c_str());
            return 2;
        }
    }
    if (out.isEmpty() || frames < 0 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: avi_bench --frames N --width W --height H --out FILE [--codec NAME]\n");
        return 2;
    }
    // A few distinct pictures, cycled, keep the frame source out of the measurement.
    std::vector<QImage> pictures;
    for (int i = 0; i < 4; ++i) pictures.push_back(test_pictures::desktopFrame(width, height, i * 11));

    PrintedMessages messages;
    AviMovieWriter avi(nullptr, messages, codec, module);
    avi.setWidth(quint16(width));
    avi.setHeight(quint16(height));
    avi.setBitDepth(quint16(bits));
    avi.setFrameRate(30);
    avi.setFileName(out);
    avi.setCompress(!codec.codec.empty());
    codec.path = out;
    codec.avi = &avi;
    codec.clock.start();
    if (!avi.Open()) return 1;
    for (int i = 0; i < frames; ++i) avi.AddFrame(pictures[std::size_t(i) % pictures.size()]);
    avi.Finish();
    if (codec.codec.empty()) codec.flushAndStopClock();

    const double writeSeconds = double(codec.writeNs) / 1e9;
    const double bytes = double(avi.frameBufferSize() + 8) * frames;
    std::printf("write: %.1f frames/s, %.1f MB/s\n", frames / writeSeconds, bytes / 1e6 / writeSeconds);
    if (!codec.codec.empty())
        std::printf("recompress: %.1f frames/s\n", frames / (double(codec.recompressNs) / 1e9));
    return 0;
}
