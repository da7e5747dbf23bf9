#include "platform/x11/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <cerrno>
#include <cstring>

#include "platform/x11/window_stack.h"

namespace {
// Room the window manager's title bar takes besides the title: its buttons and the window icon.
constexpr int kTitleBarExtras = 120;

// Returns the button that closed the box.
QMessageBox::StandardButton showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (buttons & QMessageBox::Yes) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    // A short text would make the box too narrow for its title: the title bar would show "…".
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int titleWidth = box.fontMetrics().horizontalAdvance(title) + kTitleBarExtras;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    window_stack::execInForeground(box, parent);
    return box.standardButton(box.clickedButton());
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

bool QtMessageBoxes::question(QWidget* parent, const QString& text) {
    return showBox(parent, QMessageBox::Question, QApplication::applicationName(), text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString fileCreationErrorText(const QString& path) {
    return QStringLiteral("ファイル %1 を作成できません").arg(path);
}

QString fileErrorCause(int errorNumber) {
    switch (errorNumber) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return QStringLiteral("ディスクの空き容量が足りません.");
        case EACCES:
        case EPERM:
        case EROFS:
            return QStringLiteral("このフォルダには書き込めません.");
        case EEXIST:
            return QStringLiteral("同じ名前のファイルがあります.");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("フォルダが見つかりません.");
        default:
            return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}

QString withCause(const QString& text, int errorNumber) {
    return text + QLatin1Char('\n') + fileErrorCause(errorNumber);
}
