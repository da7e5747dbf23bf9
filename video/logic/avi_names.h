// Names of the files a recording produces.
#pragma once

#include <QString>

// The name the re-compressed file is written under before it replaces fileName: fileName's
// extension (from the last dot after the last folder separator) replaced by "_.avi", or "_.avi"
// appended when it has none. "/shots/動画保存1.avi" gives "/shots/動画保存1_.avi".
QString temporaryAviName(const QString& fileName);
