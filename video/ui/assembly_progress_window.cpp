#include "video/ui/assembly_progress_window.h"

#include <QLabel>
#include <QProgressBar>

AssemblyProgressWindow::AssemblyProgressWindow(QFont font) : QDialog(nullptr) {
    setWindowTitle(QStringLiteral("Form4"));
    setFont(font);
    setFixedSize(279, 56);
    move(438, 317);
    caption = new QLabel(QStringLiteral("AVIファイル作成中"), this);
    caption->move(76, 8);
    bar = new QProgressBar(this);
    bar->setGeometry(16, 28, 245, 20);
    bar->setRange(0, 100);
}

void AssemblyProgressWindow::change(std::uint8_t position) {
    if (bar->value() == position) return;
    bar->setValue(position);
    // The assembly lets no events through while it counts, so the bar is drawn at once.
    bar->repaint();
}
