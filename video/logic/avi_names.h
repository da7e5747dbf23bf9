// Names of the files a recording produces.
#pragma once

#include <QString>
#include <cstdint>

// The name the re-compressed file is written under before it replaces fileName: fileName's
// extension (from the last dot after the last folder separator) replaced by "_.avi", or "_.avi"
// appended when it has none. "/shots/動画保存1.avi" gives "/shots/動画保存1_.avi".
QString temporaryAviName(const QString& fileName);

// The AVI file of a run: saveDirectory + separator + prefix + number + ".avi".
QString movieFilePath(const QString& saveDirectory, const QString& prefix, std::int32_t number);

// The first number from 1 on whose AVI file does not exist; gaps are filled.
std::int32_t firstFreeMovieNumber(const QString& saveDirectory, const QString& prefix);

// Frame file number n of a run, directly in the program's folder (which ends with the separator):
// "kadrel00AVISAVE" + n without leading zeros + ".bmp".
QString frameFilePath(const QString& programDirectory, std::int32_t n);
