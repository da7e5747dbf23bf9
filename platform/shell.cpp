#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopDocumentOpener::open(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
