// The frame window's command menu, built from the command table, and what its own items do.
#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

#include "capture_window/ui/frame_window.h"
#include "capture_window/ui/help_viewer.h"
#include "platform/system/mm_clock.h"
#include "platform/x11/message_box.h"
#include "platform/x11/shell.h"
#include "platform/x11/window_stack.h"

namespace {
// A menu item that shows a shortcut without taking the key itself: the frame's actions serve the keys.
QAction* addItem(QMenu* menu, const QString& caption, const char* shortcutText = nullptr) {
    QString text = caption;
    if (shortcutText) text += QLatin1Char('\t') + QLatin1String(shortcutText);
    return menu->addAction(text);
}
}  // namespace

void FrameWindow::buildCommandMenu() {
    commandMenu = new QMenu(this);
    QMenu* saveTypeMenu = nullptr;
    QMenu* helpMenu = nullptr;
    for (const FrameCommandRow& row : frameCommands()) {
        QMenu* menu = commandMenu;
        if (row.place == MenuPlace::None) continue;
        if (row.separatorBefore) commandMenu->addSeparator();
        if (row.place == MenuPlace::SaveType) {
            if (!saveTypeMenu) saveTypeMenu = commandMenu->addMenu(QStringLiteral("保存タイプ"));
            menu = saveTypeMenu;
        } else if (row.place == MenuPlace::Help) {
            if (!helpMenu) helpMenu = commandMenu->addMenu(QStringLiteral("ヘルプ"));
            menu = helpMenu;
        }
        m_items[std::size_t(row.command)] = addItem(menu, QString::fromUtf16(row.caption), row.keys[0]);
    }
    menuItem(FrameCommand::WholeScreen)->setCheckable(true);
    auto* formatGroup = new QActionGroup(this);
    for (QAction* a : saveTypeItems()) {
        a->setCheckable(true);
        formatGroup->addAction(a);
    }
    menuItem(FrameCommand::SaveTypeJpeg)->setChecked(true);
}

void FrameWindow::openCommandMenu() {
    commandMenu->exec(commandMenuPosition(clientOrigin(), menuButton->geometry()));
}

void FrameWindow::setMenuButtonVisible(bool visible) { menuButton->setVisible(visible); }

void FrameWindow::setClientSize(QSize size) {
    setClientWidth(size.width());
    setClientHeight(size.height());
}

void FrameWindow::toggleWholeScreen() {
    m_state.capture.WholeScreen = !m_state.capture.WholeScreen;
    menuItem(FrameCommand::WholeScreen)->setChecked(m_state.capture.WholeScreen);
}

void FrameWindow::chooseSaveType(FrameCommand item) {
    // The items are exclusive: the one checked is the one chosen.
    menuItem(item)->setChecked(true);
    m_state.settings.SaveType = checkedSaveFormatButton(saveTypeItems());
}

SaveFormatButtons<QAction> FrameWindow::saveTypeItems() const {
    return {menuItem(FrameCommand::SaveTypeJpeg), menuItem(FrameCommand::SaveTypeBmp),
            menuItem(FrameCommand::SaveTypeGif), menuItem(FrameCommand::SaveTypePng)};
}

void FrameWindow::checkSaveTypeItem(int code) { checkSaveFormatButton(saveTypeItems(), code); }

int FrameWindow::checkedSaveTypeItem() const { return checkedSaveFormatButton(saveTypeItems()); }

void FrameWindow::setFolderItemCaption(const QString& caption) {
    menuItem(FrameCommand::ChooseSaveFolder)
        ->setText(caption + QLatin1Char('\t') +
                  QLatin1String(frameCommand(FrameCommand::ChooseSaveFolder).keys[0]));
}

void FrameWindow::openDialog(QWidget* dialog) {
    window_stack::showOver(dialog, this);
    setEnabled(false);
    window_stack::setTopmost(dialog, true);
}

void FrameWindow::showAbout() {
    m_services.messages.message(
        this, QStringLiteral("Kadrel ver 1.02\nCopyright (C) Kadrel 開発チーム  GPL-3.0-or-later"));
}

void FrameWindow::showHelp() {
    const QString folder = m_state.settings.ProgramDirectory + QStringLiteral("Help/");
    const QString page = folder + QStringLiteral("manual.htm");
    const QString cannotShow = QStringLiteral("ヘルプを表示できません");
    if (!QFileInfo(page).isFile()) return m_services.messages.message(this, cannotShow);
    // Where no program takes the page, the program shows it itself.
    m_services.documents.open(page, [this, self = QPointer<FrameWindow>(this), page] {
        if (self) showHelpViewer(page);
    });
}

void FrameWindow::showHelpViewer(const QString& page) {
    if (!m_helpViewer) {
        m_helpViewer = std::make_unique<HelpViewer>();
        // Without a window manager nothing else gives the keyboard back to the frame.
        connect(m_helpViewer.get(), &HelpViewer::closed, this,
                [this] { window_stack::bringToForeground(this); });
    }
    m_helpViewer->showPage(page);
    window_stack::showOver(m_helpViewer.get(), this);
}

void FrameWindow::keyboardStep(StepDirection direction) {
    const QRect base = geometry();
    const StepChange change =
        stepChange(direction, m_stepper.step(direction, m_services.clock.timeGetTime()));
    if (change.grow == 0) return move(base.left() + change.dx, base.top() + change.dy);
    // Width first, then height: two resizes, as setting each outer dimension is.
    resize(base.width() + change.grow, height());
    resize(width(), base.height() + change.grow);
}
