// Writes synthetic frames through TQzAvi and, with --codec, re-compresses the file with that
// encoder without a dialog. Prints "write: F frames/s, B MB/s" (file bytes, flushed to the disk,
// like dd conv=fdatasync) and, with a codec, "recompress: F frames/s".
// Usage: avi_bench --frames N --width W --height H --out FILE [--codec NAME] [--bits 16|24]
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/avi/avi_library_loader.h"
#include "platform/avi/codec_chooser.h"
#include "platform/x11/message_box.h"
#include "video/ui/qz_avi.h"
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
            if (avi && avi->SaveProgressForm)
                QObject::connect(avi->SaveProgressForm.data(), &QObject::destroyed,
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
    const TQzAvi* avi = nullptr;
    QElapsedTimer clock;
    qint64 writeNs = 0;
    qint64 recompressNs = 0;
};

// A desktop-like picture that changes from frame to frame: gradients, panels and text.
QImage syntheticFrame(int width, int height, int index) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, QColor(30 + index % 50, 60, 120));
    background.setColorAt(1, QColor(200, 180, 90 + index % 60));
    painter.fillRect(image.rect(), background);
    painter.setPen(Qt::black);
    for (int i = 0; i < 6; ++i) {
        const QRect panel((i * 97 + index * 7) % std::max(1, width - width / 3),
                          (i * 53) % std::max(1, height - height / 3), width / 3, height / 3);
        painter.fillRect(panel, QColor::fromHsv((i * 60 + index) % 360, 60, 240));
        painter.drawText(
            panel.adjusted(8, 8, -8, -8), Qt::TextWordWrap,
            QStringLiteral("Kadrel frame %1 panel %2 — the quick brown fox jumps over the lazy dog")
                .arg(index)
                .arg(i));
    }
    return image;
}

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
    for (int i = 0; i < 4; ++i) pictures.push_back(syntheticFrame(width, height, i * 11));

    PrintedMessages messages;
    TQzAvi avi(nullptr, messages, codec, module);
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
