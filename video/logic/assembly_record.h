// The record of a recording on its way into an AVI file, kept in the frame folder from the run's
// start to the end of its assembly. It is written before each step that a kill could leave half
// done (the movie file's creation, the deletion of the frames the movie holds), so that the next
// start can tell the frames already in a finished file from those still to be made into one, and
// a file this program only began from anyone else's.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/system/durable_file.h"
#include "platform/system/unique_fd.h"

struct AssemblyRecord {
    enum class Stage {
        Recording,  // frame files are being written; no movie file yet
        Creating,   // the movie file is about to be created: it does not exist, or is still empty
        Writing,    // the movie file movieId is this run's, up to the end of the frames' deletion
    };
    Stage stage = Stage::Recording;
    QSize frameSize;                // of every frame of the run; invalid when not known
    QString movie;                  // Creating, Writing: the movie file's path
    std::int32_t frames = 0;        // Creating, Writing: frames 1 to frames go into it
    std::optional<FileId> movieId;  // Writing: the file created (an older program's note has none)

    friend bool operator==(const AssemblyRecord&, const AssemblyRecord&) = default;
};

// The record as its file holds it: text lines ending with a check over them, so that a record
// torn by a power cut reads as damaged rather than as another record.
QByteArray recordText(const AssemblyRecord& record);
// Nothing unless text is a whole record, every field in range.
std::optional<AssemblyRecord> parseRecord(QByteArrayView text);
// The note an earlier version of the program kept during the deletion: the frame count, a line
// break and the movie's path. It reads as a Writing record without the file's identity.
std::optional<AssemblyRecord> parseNote(QByteArrayView text);

QString assemblyRecordPath(const QString& frameDirectory);
QString earlierNotePath(const QString& frameDirectory);

// The record's file, open from the run's start. Its room is taken when it is made, and every
// later content is written over it in place, so that a full disk cannot stop the record from
// changing.
class AssemblyRecordFile {
public:
    // The largest record: one page, which one write puts in place whole even when a kill stops it.
    static constexpr qsizetype kBytes = 4096;

    // Makes the record file in frameDirectory with record as its content, flushed with the folder.
    // Nothing, with errno set, when it cannot be made or the record does not fit.
    static std::optional<AssemblyRecordFile> reserve(const QString& frameDirectory,
                                                     const AssemblyRecord& record);
    // Puts record in place of the content and flushes it. False with errno set when that fails.
    bool write(const AssemblyRecord& record);
    // Removes the file and flushes the folder. False when either fails.
    bool remove();
    QString path() const { return m_path; }

private:
    AssemblyRecordFile(QString path, UniqueFd fd) : m_path(std::move(path)), m_fd(std::move(fd)) {}
    QString m_path;
    UniqueFd m_fd;
};

// What is in the frame folder: the record, or else an earlier version's note. present tells that a
// file was there, record whether it could be read.
struct FoundRecord {
    bool present = false;
    QString path;
    std::optional<AssemblyRecord> record;
};
FoundRecord readAssemblyRecord(const QString& frameDirectory);
