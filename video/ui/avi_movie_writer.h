// AviMovieWriter writes a sequence of pictures as the video stream of an AVI file: every frame
// uncompressed and a key frame; when the file is complete it offers re-compression with a codec
// of the user's choice and, on success, puts the compressed file in place of the uncompressed one.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/avi/avi_file_writer.h"
#include "platform/avi/avi_library.h"

class AviLibraryLoader;
class CodecChooser;
class MessageBoxes;
class SaveProgressWindow;
class QWidget;

// Open found no folder for the file, or could not create the file in it.
class AviFileCreationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AviMovieWriter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(quint16 Width READ Width WRITE setWidth)
    Q_PROPERTY(quint16 Height READ Height WRITE setHeight)
    Q_PROPERTY(bool Compress READ Compress WRITE setCompress)
    Q_PROPERTY(bool PreCompress READ PreCompress WRITE setPreCompress)
    Q_PROPERTY(qint32 FrameRate READ FrameRate WRITE setFrameRate)
    Q_PROPERTY(quint16 BitDepth READ BitDepth WRITE setBitDepth)
public:
    // What abortRequested holds once "中断" was pressed.
    static constexpr std::int32_t kAbortRequested = 16582;

    // Shown by Finish instead of the codec dialog when the AVI module cannot be loaded.
    static const QString kNoAviLibraryText;
    // What Open throws when the file's folder is not there.
    static QString missingFolderText(const QString& folder);

    // ownerWindow: the window the codec dialog and the progress window stand over and give the
    // keyboard back to when they close (none: they stand alone). avi: the AVI module that reads,
    // re-compresses and offers the codecs; loaded by the first Finish that offers re-compression.
    AviMovieWriter(QWidget* ownerWindow, MessageBoxes& messages, CodecChooser& codecs, AviLibraryLoader& avi);
    ~AviMovieWriter() override;

    QString FileName() const { return m_fileName; }
    void setFileName(const QString& value) { m_fileName = value; }
    quint16 Width() const { return m_width; }
    void setWidth(quint16 value) { m_width = value; }
    quint16 Height() const { return m_height; }
    void setHeight(quint16 value) { m_height = value; }
    bool Compress() const { return m_compress; }
    void setCompress(bool value) { m_compress = value; }
    bool PreCompress() const { return m_preCompress; }
    void setPreCompress(bool value) { m_preCompress = value; }
    qint32 FrameRate() const { return m_frameRate; }
    // Below 1 becomes 1, above 30 becomes 30.
    void setFrameRate(qint32 value);
    quint16 BitDepth() const { return m_bitDepth; }
    // 16 and 24 are kept; anything else becomes 16.
    void setBitDepth(quint16 value);

    // Where a file appeared under FileName after the name was chosen (another copy of the program
    // recording into the same folder), Open asks this for the next name to try instead.
    void setFreeName(std::function<QString()> next) { m_freeName = std::move(next); }
    // Told before each try at creating the file (created empty) and once it is made (created its
    // identity), so that what a kill leaves can be told apart later. Throwing AviFileCreationError
    // stops Open, which then removes a file it made.
    using CreationNote = std::function<void(const QString& path, std::optional<FileId> created)>;
    void setCreationNote(CreationNote note) { m_creationNote = std::move(note); }

    // Creates a new AVI file with its video stream, never over an existing file: a name that is
    // taken is replaced by the one setFreeName gives. False (after a warning box with the cause,
    // nothing left open) when the file or stream cannot be created; false without a box when
    // FileName is empty. Throws AviFileCreationError when FileName's folder is not there
    // (missingFolderText: a folder is never made where the user's was deleted) or the file cannot
    // be made in it.
    bool Open();
    // Appends bitmap, stretched to Width x Height, as the next key frame. False when no file is
    // open or the frame could not be written (a full disk); from then on every frame is refused,
    // and Finish tells the user. No box here: a recording adds many frames.
    bool AddFrame(const QImage& bitmap);
    // AddFrame in two steps, so that one frame's conversion can overlap the writing of another:
    // prepareFrame (safe on any thread; it reads only the size and depth fixed by Open) turns a
    // bitmap into the frame's sample, addPreparedFrame appends that sample.
    std::function<void(const QImage&, std::vector<std::uint8_t>&)> framePreparer() const;
    bool addPreparedFrame(const std::vector<std::uint8_t>& sample);
    // Completes the open file: its indexes and final headers, flushed to the disk. A file that lost
    // frames to a write error is closed with the frames written before it, and the user is told; if
    // that leaves no frame, it is removed. Nothing happens when no file is open.
    void Close();
    // Removes the closed file, which then is not offered for re-compression: one that holds none of
    // the frames meant for it.
    void discard();
    // The frames readable in the file once Close has run (0 when Open failed).
    std::uint32_t framesInFile() const { return m_framesInFile; }
    // Closes the file as Close does, then, when Compress is set, offers re-compression: on success
    // the compressed file replaces the uncompressed one; cancelled, failed or aborted, or without
    // the AVI module (kNoAviLibraryText), the uncompressed file stays. A file that lost frames or
    // was removed is not offered. The compressed file is on the disk, and its name in the folder,
    // before Finish returns. Releases everything, whatever Open returned.
    void Finish();

    // The re-save's progress callback: shows percent, lets pending window events run and returns
    // abortRequested (non-zero stops the re-save).
    std::int32_t SaveProgress(std::int32_t percent);
    void abort();

    // The re-compression's progress window while it exists.
    QPointer<SaveProgressWindow> progressWindow;
    std::int32_t abortRequested = 0;

    // Bytes of every frame sample, from the format Open set.
    std::size_t frameBufferSize() const;

    // The window whose dialogs these are.
    QWidget* ownerWindow() const { return m_ownerWindow; }

private:
    void giveFocusBack();
    void recompress(AviLibrary& library, std::unique_ptr<AviSource> source);

    QWidget* m_ownerWindow;
    MessageBoxes& m_messages;
    CodecChooser& m_codecs;
    AviLibraryLoader& m_avi;
    QString m_fileName;
    quint16 m_width = 320;
    quint16 m_height = 240;
    bool m_compress = true;
    bool m_preCompress = false;
    qint32 m_frameRate = 30;
    quint16 m_bitDepth = 16;

    std::function<QString()> m_freeName;
    CreationNote m_creationNote;
    std::unique_ptr<AviFileWriter> m_aviFile;
    std::uint32_t m_framesInFile = 0;
    bool m_lostFrames = false;
    bool m_removed = false;
    BitmapInfoHeader m_frameFormat;
    std::vector<std::uint8_t> m_frameBuffer;
    AviSaveOptions m_saveOptions;
};
