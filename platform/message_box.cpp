#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {
void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}
}  // namespace

void QtMessageBoxes::message(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, QApplication::applicationName(), text);
}

void QtMessageBoxes::error(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, QApplication::applicationName(), text);
}

void QtMessageBoxes::warning(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Warning, QStringLiteral("警告"), text);
}

QString fileCreationErrorText(const QString& path) {
    return QStringLiteral("ファイル %1 を作成できません").arg(path);
}
