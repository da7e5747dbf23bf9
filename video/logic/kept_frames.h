// Frame files that a run could not put into an AVI file, or that a killed copy of the program left
// behind, stay in the frame folder until they are made into one. The assembly always reads frame
// files 1, 2, ... in turn, so kept ones are first renumbered from 1 in their order.
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// The numbers of the frame files in frameDirectory, ascending.
QList<std::int32_t> frameFileNumbers(const QString& frameDirectory);

// Renames the frame files in frameDirectory to 1, 2, ... in their order and returns how many now
// run unbroken from 1. Each rename moves a file to a number below every file not yet renamed, so
// a kill part way leaves the frames in their order under unique names.
std::int32_t renumberFrameFiles(const QString& frameDirectory);

// Removes the frame files numbered up to last, those that are there, in ascending order (removed is
// told of each), then flushes the folder. Returns how many went.
qsizetype removeFrameFilesUpTo(const QString& frameDirectory, std::int32_t last,
                               const std::function<void(std::int32_t)>& removed = {});

// Where the movie files go: a movie file that a record names must be one of these.
struct MovieFolder {
    QString saveDirectory;
    QString prefix;
};
// path is directly in the save folder and named prefix + number + ".avi".
bool isMovieFileOf(const QString& path, const MovieFolder& movies);

// What settleKeptFrames did.
struct SettledFrames {
    qsizetype kept = 0;       // frame files that stay
    QSize frameSize;          // of the frame files that stay; invalid when none stay
    qsizetype inMovie = 0;    // frame files removed as a finished movie file holds their frames
    QString unfinishedMovie;  // a movie file that a killed run began and never finished, removed
    QStringList setAside;     // files named as frames that hold no frame of the run, renamed so
    QString untrustedRecord;  // a record that could not be read or named a file not the run's: ignored
};

// Settles what a killed or failed run left in frameDirectory, by its record (assembly_record.h)
// and what the movie file it names holds: frames that a finished movie file holds go; a movie file
// the run began and never finished goes, its frames staying; frame files that a kill cut short go;
// files named as frames that are no frames of the run's size are set aside under another name. The
// record goes too, unless the movie file could not be flushed, when it stays to be settled again.
// Nothing is removed on the word of a record that cannot be read, names a movie file outside the
// save folder or one that is not the file the run created.
SettledFrames settleKeptFrames(const QString& frameDirectory, const MovieFolder& movies);
