#pragma once

#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/logic/program_state.h"
#include "platform/system/durable_file.h"
#include "platform/system/file_lock.h"
#include "video/logic/assembly_record.h"

class AssemblyProgressWindow;
class AviLibraryLoader;
class AviMovieWriter;
class CodecChooser;
class MessageBoxes;
class QWidget;

struct AssemblyServices {
    MessageBoxes& messages;
    CodecChooser& codecs;   // the AVI writer's codec dialog
    AviLibraryLoader& avi;  // and its re-compression
};

// The frame files of the frame folder made into an AVI file: the frames of a run, or those kept from
// an earlier one. The folder is held from a run's start (or an assembly of kept frames) to its end, so
// that no other copy of the program records into it meanwhile. Frame files that are not in a finished
// AVI file stay, and are offered to be made into one at the next start of the program or of a
// recording. An assembly goes in three steps, between which the recording puts its window back:
// writeMovie, offerCompression, report.
class AviAssembly {
public:
    // window: the frame window, owner of the boxes; the progress window and the codec dialog stand
    // over it.
    AviAssembly(ProgramState& state, QWidget& window, AssemblyProgressWindow& progressWindow,
                AssemblyServices services);
    ~AviAssembly();

    // Holds the frame folder for a run. False when it is held already (a question about kept frames
    // is open) and, after telling the user, when another copy holds it.
    bool holdFrameFolder();
    void releaseFrameFolder() { m_folderLock.reset(); }

    enum class KeptFrames { None, Left, ToAssemble };
    // With the folder held: when kept frame files are there, asks whether to make them into an AVI
    // file. On "いいえ" they stay, to be asked about again next time, and the folder is let go; on
    // "はい" (ToAssemble) takeKeptFrames readies them.
    KeptFrames offerKeptFrames(bool beforeRecording);
    // At the program's start: the same offer, unless another copy of the program is recording into
    // the folder. True when the kept frames are to be assembled.
    bool offerKeptFramesAtStart();
    // Numbers the kept frames from 1 and makes a writer for them; returns how many there are, or
    // nothing (after telling the user, the frames left as they are) when newMovie fails. The run's
    // clock is lost with it: the frames play at the rate of the settings.
    std::optional<std::int32_t> takeKeptFrames();

    // A fresh writer for the next file, with frames of size at rate frames per second, and the
    // run's record in the frame folder (assembly_record.h). False when the record cannot be made:
    // the user has been told, with failure leading the cause.
    bool newMovie(QSize size, std::int32_t rate, const QString& failure);
    // The rate the run achieved, in place of the one the writer was made with.
    void setFrameRate(std::int64_t rate);

    struct Outcome {
        QString error;  // what left the protected block
        bool aviOpened = false;
        qsizetype framesKept = 0;  // frame files that stay in the folder
    };
    // Frames 1 to frameCount into the AVI file under the progress window, then the clean-up: the AVI
    // file and its name in the folder are on the disk before any frame file goes, and only the frames
    // it holds go. The run's record is kept up to date at each step, so that a kill anywhere leaves
    // nothing that the next start would make into a second AVI file. The progress window is hidden
    // at the end.
    Outcome writeMovie(std::int32_t frameCount);
    // The codec dialog and re-compression, when there is a file to compress.
    void offerCompression(const Outcome& outcome);
    // As the framework reports an error that left the protected block: after the clean-up, in one
    // box with what became of the frames.
    void report(const Outcome& outcome);

    // The file of the current or last assembly.
    QString movieFile() const;
    const AviMovieWriter& movieWriter() const { return *m_writer; }

private:
    // A writer that stands over the frame window.
    std::unique_ptr<AviMovieWriter> newWriter(QSize size, std::int32_t rate);
    bool lockFrameFolder();
    // Writes the record of the movie file about to be created at path (or created as created);
    // throws AviFileCreationError when it cannot.
    void noteCreation(const QString& path, std::optional<FileId> created, std::int32_t frameCount);
    // The protected block: throws when a frame file is missing or cannot be read.
    void writeFrames(std::int32_t frameCount);
    // Returns how many frame files stay in the folder.
    qsizetype removeFramesInFile(std::int32_t frameCount);

    ProgramState& m_state;
    QWidget& m_window;
    AssemblyProgressWindow& m_progressWindow;
    AssemblyServices m_services;
    std::unique_ptr<AviMovieWriter> m_writer;
    std::int32_t m_movieNumber = 0;
    std::optional<FileLock> m_folderLock;
    std::optional<AssemblyRecordFile> m_record;
    // What the last settling of kept frames found.
    QSize m_keptFrameSize;
};
