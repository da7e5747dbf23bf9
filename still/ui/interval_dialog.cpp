#include "still/ui/interval_dialog.h"

TForm2::TForm2(QFont font) : QDialog(nullptr) {
    setWindowTitle(QStringLiteral("一定時間ごとに保存"));
    setFont(font);
    setFixedSize(327, 93);
}
