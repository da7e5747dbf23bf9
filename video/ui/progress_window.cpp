#include "video/ui/progress_window.h"

#include <QLabel>
#include <QProgressBar>

TForm4::TForm4(QFont font) : QDialog(nullptr) {
    setWindowTitle(QStringLiteral("Form4"));
    setFont(font);
    setFixedSize(279, 56);
    move(438, 317);
    Label1 = new QLabel(QStringLiteral("AVIファイル作成中"), this);
    Label1->move(76, 8);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(16, 28, 245, 20);
    ProgressBar1->setRange(0, 100);
}

void TForm4::change(std::uint8_t position) {
    if (ProgressBar1->value() == position) return;
    ProgressBar1->setValue(position);
    // The assembly lets no events through while it counts, so the bar is drawn at once.
    ProgressBar1->repaint();
}
