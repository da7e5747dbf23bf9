// Frame files that a run could not put into an AVI file, or that a killed copy of the program left
// behind, stay in the frame folder until they are made into one. The assembly always reads frame
// files 1, 2, ... in turn, so kept ones are first renumbered from 1 in their order.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>

// The numbers of the frame files in frameDirectory, ascending.
QList<std::int32_t> frameFileNumbers(const QString& frameDirectory);

// Removes the frame files in frameDirectory that hold no whole picture: writes that a kill cut
// short, as a failed write of the program's own is removed. Returns how many went.
int removeCutShortFrameFiles(const QString& frameDirectory);

// Renames the frame files in frameDirectory to 1, 2, ... in their order and returns how many now
// run unbroken from 1. Each rename moves a file to a number below every file not yet renamed, so
// a kill part way leaves the frames in their order under unique names.
std::int32_t renumberFrameFiles(const QString& frameDirectory);

// A note in frameDirectory that frame files 1 to frames are in the finished file aviPath. It is on
// the disk before the deletion of those frame files begins and is removed after it, so that a kill
// during the deletion never turns the frames left into a second AVI file. False when it cannot be
// written.
bool writeFramesInAviNote(const QString& frameDirectory, const QString& aviPath, std::int32_t frames);
QString framesInAviNotePath(const QString& frameDirectory);
void removeFramesInAviNote(const QString& frameDirectory);

// Finishes a deletion that a kill interrupted: when a note is there and its AVI file still exists,
// deletes the frame files it names; then removes the note.
void settleFramesInAviNote(const QString& frameDirectory);
