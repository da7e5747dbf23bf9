#include "video/ui/avi_movie_writer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtEndian>
#include <functional>

#include "fakes/avi_module.h"
#include "fakes/image_compare.h"
#include "fakes/media_probe.h"
#include "fakes/recording_message_boxes.h"
#include "fakes/scripted_codecs.h"
#include "fakes/small_disk.h"
#include "fakes/test_files.h"
#include "platform/avi/codec_chooser.h"
#include "platform/avi/module/codec_dialog.h"
#include "test_pictures.h"
#include "video/logic/avi_names.h"
#include "video/ui/save_progress_window.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    RecordingMessageBoxes boxes;
    ScriptedCodecs codecs;
    AviMovieWriter avi{nullptr, boxes, codecs, builtAviModule()};

    // Writes frames pictures of the writer's size; true when Open succeeded.
    bool write(const QString& name, int frames) {
        avi.setFileName(dir.filePath(name));
        if (!avi.Open()) return false;
        for (int i = 0; i < frames; ++i) avi.AddFrame(test_pictures::pattern(avi.Width(), avi.Height(), i));
        return true;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
};

// Frames of any size are stretched to the writer's size and come back from FFmpeg as the
// picture's pixels: 16 bits keep each channel's top 5 bits, 24 bits are exact. A depth other than
// 24 is 16, and the rate is held to 1..30.
TEST(AviMovieWriter, UncompressedFramesDecodeByFfmpegToTheStretchedPicture) {
    constexpr int kWidth = 321, kHeight = 241;
    const QImage source = test_pictures::pattern(kWidth, kHeight, 5);
    const struct {
        int depth, rate, bits;
        const char* storedRate;
    } cases[] = {{32, 31, 16, "30/1"}, {24, 0, 24, "1/1"}};
    for (const auto& [depth, rate, bits, storedRate] : cases) {
        Fixture f;
        f.avi.setCompress(false);
        f.avi.setWidth(kWidth);
        f.avi.setHeight(kHeight);
        f.avi.setFrameRate(rate);
        f.avi.setBitDepth(quint16(depth));
        f.avi.setFileName(f.dir.filePath("clip.avi"));
        ASSERT_TRUE(f.avi.Open());
        EXPECT_EQ(f.avi.frameBufferSize(), std::size_t(324 * kHeight * bits / 8));
        f.avi.AddFrame(source);
        f.avi.AddFrame(source.scaled(kWidth * 2, kHeight * 2));  // doubled: nearest pixel gives it back
        f.avi.Finish();
        const QString path = f.avi.FileName();
        auto p = probeVideo(path);
        EXPECT_EQ(p["codec_name"], "rawvideo");
        EXPECT_EQ(p["pix_fmt"], bits == 16 ? "rgb555le" : "bgr24");
        EXPECT_EQ(p["nb_read_frames"], "2");
        EXPECT_EQ(p["r_frame_rate"], storedRate);
        const QList<QImage> frames = decodeFrames(path, kWidth, kHeight);
        ASSERT_EQ(frames.size(), 2);
        // rgb555 widens each 5-bit channel back to 8 bits; its top 5 bits are the stored ones
        for (const QImage& frame : frames)
            EXPECT_EQ(pixelMismatches(frame, source, bits == 16 ? 5 : 8), 0) << bits << " bits";
        EXPECT_EQ(f.codecs.calls, 0);  // Compress off: no codec offered
    }
}

TEST(AviMovieWriter, OpenNeverReplacesAFileTakesTheNextFreeNameAndReportsWhatCannotBeCreated) {
    Fixture f;
    f.avi.setCompress(false);
    ASSERT_TRUE(writeFile(f.dir.filePath("a.avi"), "old"));
    ASSERT_TRUE(writeFile(f.dir.filePath("b.avi"), "old"));
    // Without a source of other names, a taken one is a file that cannot be made.
    EXPECT_FALSE(f.write("a.avi", 1));
    EXPECT_EQ(f.boxes.warnings,
              QStringList{"ＡＶＩファイルを作成できませんでした.\n同じ名前のファイルがあります."});
    QStringList offered = {"b.avi", "c.avi"};
    f.avi.setFreeName([&] { return f.dir.filePath(offered.takeFirst()); });
    ASSERT_TRUE(f.write("a.avi", 1));
    f.avi.Finish();
    EXPECT_EQ(f.avi.FileName(), f.dir.filePath("c.avi"));
    EXPECT_EQ(probeVideo(f.avi.FileName())["nb_read_frames"], "1");
    EXPECT_EQ(std::tuple(fileBytes(f.dir.filePath("a.avi")), fileBytes(f.dir.filePath("b.avi"))),
              std::tuple(QByteArray("old"), QByteArray("old")));
    f.boxes.warnings.clear();

    EXPECT_FALSE(Fixture().avi.Open());                  // no name: no box
    ASSERT_TRUE(QDir(f.dir.path()).mkdir("taken.avi"));  // a folder stands where the file should go
    Fixture g;
    g.avi.setFileName(f.dir.filePath("taken.avi"));
    EXPECT_FALSE(g.avi.Open());
    EXPECT_FALSE(g.avi.AddFrame(test_pictures::pattern(4, 4, 0)));
    g.avi.Finish();  // re-compression cannot open it either
    EXPECT_EQ(g.boxes.warnings,
              QStringList({"ＡＶＩファイルを作成できませんでした.\n同じ名前のファイルがあります.",
                           "ＡＶＩファイルを開けませんでした."}));

    Fixture h;
    h.avi.setWidth(0);
    EXPECT_FALSE(h.write("empty.avi", 0));
    EXPECT_EQ(h.boxes.warnings, QStringList{"映像ストリームを作成できませんでした."});
    EXPECT_TRUE(h.files().isEmpty());

    QFile plain(f.dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    h.avi.setFileName(f.dir.filePath("plain/sub/x.avi"));  // a file where a folder must be made
    EXPECT_THROW(h.avi.Open(), AviFileCreationError);
}

// A disk that holds 30 of 50 frames: the rest are refused, the user is told, no codec is offered,
// and the file keeps, readable, the frames written before the disk filled up.
TEST(AviMovieWriter, AFullDiskKeepsTheFramesThatFitAndSaysTheFileIsIncomplete) {
    constexpr qint64 kFrameChunk = 8 + 320 * 240 * 2;
    SmallDisk disk(30 * kFrameChunk + 8192 + 16 * AviFileWriter::kSuperIndexEntries);  // and the headers
    REQUIRE_SMALL_DISK(disk);
    Fixture f;
    f.avi.setFileName(disk.filePath("clip.avi"));
    ASSERT_TRUE(f.avi.Open());
    int added = 0;
    for (int i = 0; i < 50; ++i) added += f.avi.AddFrame(test_pictures::pattern(320, 240, i)) ? 1 : 0;
    f.avi.Finish();
    EXPECT_EQ(f.boxes.warnings, QStringList{"ＡＶＩファイルを最後まで書き込めませんでした.\n"
                                            "書き込めたフレームまでを保存しました."});
    EXPECT_EQ(f.codecs.calls, 0);

    const QString path = f.avi.FileName();
    const int kept = std::stoi(probeVideo(path)["nb_read_frames"]);
    EXPECT_GE(kept, 28);
    EXPECT_LE(kept, added);  // frames still in the write buffer may be lost with the rest
    EXPECT_LT(added, 50);
    const QByteArray file = fileBytes(path);
    EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 4), quint32(file.size() - 8));  // the RIFF size
    // The last frame kept is the picture it was made from (5 bits a channel).
    const QList<QImage> frames = decodeFrames(path, 320, 240);
    ASSERT_EQ(frames.size(), kept);
    EXPECT_EQ(pixelMismatches(frames.last(), test_pictures::pattern(320, 240, kept - 1)), 0);

    // Room for the headers only: no frame, and no file left that would play nothing.
    SmallDisk headersOnly(8192 + 16 * AviFileWriter::kSuperIndexEntries);
    Fixture g;
    g.avi.setFileName(headersOnly.filePath("clip.avi"));
    ASSERT_TRUE(g.avi.Open());
    g.avi.AddFrame(test_pictures::pattern(320, 240, 0));
    g.avi.Finish();
    EXPECT_EQ(g.boxes.warnings, QStringList{"ＡＶＩファイルを最後まで書き込めませんでした.\n"
                                            "再生できないファイルは削除しました."});
    EXPECT_EQ(std::pair(g.codecs.calls, QDir(headersOnly.path()).entryList(QDir::Files)),
              std::pair(0, QStringList()));
}

TEST(AviMovieWriter, RecompressionReplacesTheFileWithTheChosenCodec) {
    for (const char* encoder : {"mjpeg", "mpeg4", "ffv1"}) {
        Fixture f;
        f.codecs.encoder = encoder;
        double progressSeen = 0;
        // Once the re-save has taken its first step: the window was painted before it.
        std::function<void()> firstStep = [&] {
            SaveProgressWindow* w = f.avi.progressWindow;
            ASSERT_NE(w, nullptr);
            if (w->bar->value() == 0) return QTimer::singleShot(0, firstStep);
            EXPECT_TRUE(w->windowHandle() && w->windowHandle()->isExposed());
            EXPECT_EQ(w->windowTitle(), "進行状況");
            EXPECT_EQ(w->size(), QSize(200, 80));
            EXPECT_EQ(w->caption->text(), "圧縮ＡＶＩファイル作成中...");
            EXPECT_EQ(w->abortButton->geometry(),
                      QRect(60, 48, 80, 24));  // the style's least for a text button
            EXPECT_EQ(w->bar->geometry(), QRect(20, 24, 160, 16));
            progressSeen = w->bar->value();
        };
        f.codecs.duringSave = firstStep;
        ASSERT_TRUE(f.write("動画保存1.avi", 20));  // a name FFmpeg must take as UTF-8
        f.avi.Finish();
        EXPECT_EQ(f.codecs.sourceFrames, 20);
        EXPECT_TRUE(f.boxes.warnings.isEmpty()) << f.boxes.warnings.join(",").toStdString();
        EXPECT_EQ(f.files(), QStringList{"動画保存1.avi"}) << encoder;
        auto p = probeVideo(f.dir.filePath("動画保存1.avi"));
        EXPECT_EQ(p["codec_name"], encoder);
        EXPECT_EQ(p["nb_read_frames"], "20");
        EXPECT_GT(progressSeen, 0);
        EXPECT_TRUE(f.avi.progressWindow.isNull());
    }
}

TEST(AviMovieWriter, AbortKeepsTheUncompressedFileAndALaterRunStillCompresses) {
    Fixture f;
    f.codecs.encoder = "ffv1";
    f.codecs.duringSave = [&] { f.avi.progressWindow->abortButton->click(); };
    ASSERT_TRUE(f.write("clip.avi", 30));
    const QString path = f.avi.FileName();
    f.avi.Finish();
    const QByteArray uncompressed = fileBytes(path);
    EXPECT_EQ(f.boxes.warnings, QStringList{"圧縮ＡＶＩファイル作成を中断しました."});
    EXPECT_EQ(f.avi.abortRequested, AviMovieWriter::kAbortRequested);
    EXPECT_EQ(f.files(), QStringList{"clip.avi"});
    EXPECT_EQ(probeVideo(path)["codec_name"], "rawvideo");

    // Same run, a second file: the abort request starts cleared.
    f.codecs.duringSave = nullptr;
    AviMovieWriter next(nullptr, f.boxes, f.codecs, builtAviModule());
    next.setFileName(f.dir.filePath("next.avi"));
    ASSERT_TRUE(next.Open());
    next.AddFrame(test_pictures::pattern(320, 240, 1));
    next.Finish();
    EXPECT_EQ(f.boxes.warnings.size(), 1);
    EXPECT_EQ(probeVideo(next.FileName())["codec_name"], "ffv1");
    EXPECT_EQ(fileBytes(path), uncompressed);
}

// The real dialog: cancelled, or "全フレーム (非圧縮)" chosen, the file stays as written and no
// temporary file appears; a file with no frames is offered the codecs all the same.
TEST(AviMovieWriter, CancelledOrUncompressedChoiceLeavesTheFile) {
    for (bool cancel : {true, false}) {
        RecordingMessageBoxes boxes;
        QtCodecChooser chooser{builtAviModule()};
        QTemporaryDir dir;
        AviMovieWriter avi(nullptr, boxes, chooser, builtAviModule());
        avi.setFileName(dir.filePath("clip.avi"));
        ASSERT_TRUE(avi.Open());
        QByteArray written;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CodecDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            written = fileBytes(avi.FileName());
            auto* compressor = dialog->findChild<QComboBox*>("compressor");
            EXPECT_EQ(compressor->itemText(0), QStringLiteral("全フレーム (非圧縮)"));
            compressor->setCurrentIndex(cancel ? 1 : 0);
            cancel ? dialog->reject() : dialog->accept();
        });
        avi.Finish();
        EXPECT_FALSE(written.isEmpty());
        EXPECT_EQ(fileBytes(avi.FileName()), written);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"clip.avi"});
        EXPECT_EQ(probeVideo(avi.FileName())["width"], "320");  // a stream, though without frames
        EXPECT_TRUE(boxes.warnings.isEmpty());
    }
}

// A folder without the AVI module: the codecs are never offered, a warning says why, and the
// file stays as written with no temporary file beside it.
TEST(AviMovieWriter, WithoutTheAviModuleTheUncompressedFileStays) {
    Fixture f;
    AviLibraryLoader nowhere(f.dir.path());
    AviMovieWriter avi(nullptr, f.boxes, f.codecs, nowhere);
    avi.setFileName(f.dir.filePath("clip.avi"));
    ASSERT_TRUE(avi.Open());
    avi.AddFrame(test_pictures::pattern(320, 240, 0));
    f.codecs.encoder = "mpeg4";
    avi.Finish();
    EXPECT_EQ(f.codecs.calls, 0);
    EXPECT_EQ(f.files(), QStringList{"clip.avi"});
    EXPECT_EQ(probeVideo(avi.FileName())["codec_name"], "rawvideo");

    // No file was made: no claim that one was saved.
    ASSERT_TRUE(QDir(f.dir.path()).mkdir("taken.avi"));
    AviMovieWriter failed(nullptr, f.boxes, f.codecs, nowhere);
    failed.setFileName(f.dir.filePath("taken.avi"));
    EXPECT_FALSE(failed.Open());
    failed.Finish();
    EXPECT_EQ(f.boxes.warnings,
              QStringList({AviMovieWriter::kNoAviLibraryText,
                           "ＡＶＩファイルを作成できませんでした.\n同じ名前のファイルがあります.",
                           "ＡＶＩファイルを開けませんでした."}));
}

// The dialog offers only what the chosen encoder honours and reports it with the encoder's code.
TEST(CodecDialog, ChoiceCarriesTheEncoderAndTheSettingsItHonours) {
    Fixture f;
    f.avi.setCompress(false);
    ASSERT_TRUE(f.write("clip.avi", 3));
    f.avi.Finish();
    AviSource::Status status;
    auto source = aviLibrary().openSource(f.avi.FileName().toStdString(), status);
    ASSERT_TRUE(source);
    AviSaveOptions start;
    start.fccHandler = kUncompressedHandler;
    CodecDialog dialog(nullptr, *source, start);
    auto* compressor = dialog.findChild<QComboBox*>("compressor");
    EXPECT_EQ(dialog.options().fccHandler, kUncompressedHandler);
    EXPECT_FALSE(dialog.findChild<QSlider*>("quality")->isEnabled());
    EXPECT_EQ(dialog.findChild<QSlider*>("previewPosition")->maximum(), 2);
    EXPECT_FALSE(dialog.findChild<QLabel*>("preview")->pixmap().isNull());

    compressor->setCurrentIndex(compressor->findData("mpeg4"));
    dialog.findChild<QCheckBox*>("keyFrames")->setChecked(true);
    dialog.findChild<QSpinBox*>("keyFrameEvery")->setValue(5);
    AviSaveOptions chosen = dialog.options();
    EXPECT_EQ(chosen.fccHandler, aviLibrary().findEncoder("mpeg4")->fourcc);
    EXPECT_EQ(chosen.encoder, "mpeg4");
    EXPECT_EQ(chosen.quality, 7500);
    EXPECT_EQ(chosen.keyFrameEvery, 5);
    EXPECT_EQ(chosen.dataRateKBps, 0);

    compressor->setCurrentIndex(compressor->findData("ffv1"));
    chosen = dialog.options();
    EXPECT_EQ(chosen.encoder, "ffv1");
    EXPECT_EQ(chosen.quality, -1);  // lossless: no quality to set
}

TEST(TemporaryAviName, ReplacesTheLastExtensionOfTheFileNameOnly) {
    EXPECT_EQ(temporaryAviName("/shots/動画保存1.avi"), "/shots/動画保存1_.avi");
    EXPECT_EQ(temporaryAviName("/shots.d/clip"), "/shots.d/clip_.avi");
    EXPECT_EQ(temporaryAviName("/a/b.tar.avi"), "/a/b.tar_.avi");
}

}  // namespace
