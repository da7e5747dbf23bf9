// The frame window's command menu, shortcuts and keyboard stepping.
#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

#include "capture_window/ui/frame_window.h"
#include "capture_window/ui/help_viewer.h"
#include "core/ui/command_ports.h"
#include "platform/system/mm_clock.h"
#include "platform/x11/message_box.h"
#include "platform/x11/shell.h"
#include "platform/x11/window_stack.h"

namespace {
// A menu item that shows a shortcut without taking the key itself: the actions serve the keys.
QAction* addItem(QMenu* menu, const QString& caption, const char* shortcutText = nullptr) {
    QString text = caption;
    if (shortcutText) text += QLatin1Char('\t') + QLatin1String(shortcutText);
    return menu->addAction(text);
}
}  // namespace

void FrameWindow::buildCommandMenu() {
    commandMenu = new QMenu(this);
    saveAsItem = addItem(commandMenu, QStringLiteral("名前を付けて保存"), "Ctrl+S");
    saveToFolderItem = addItem(commandMenu, QStringLiteral("指定先に保存"), "Ctrl+Z");
    intervalSaveItem = addItem(commandMenu, QStringLiteral("一定時間ごとに保存"), "Ctrl+X");
    copyItem = addItem(commandMenu, QStringLiteral("コピー"), "Ctrl+C");
    recordItem = addItem(commandMenu, QStringLiteral("動画保存"), "Ctrl+F");
    printItem = addItem(commandMenu, QStringLiteral("印刷"), "Ctrl+E");
    commandMenu->addSeparator();  // N8
    wholeScreenItem = addItem(commandMenu, QStringLiteral("全画面を対象"), "Ctrl+M");
    wholeScreenItem->setCheckable(true);
    QMenu* n5 = commandMenu->addMenu(QStringLiteral("保存タイプ"));
    jpegItem = addItem(n5, QStringLiteral("JPEG"), "Ctrl+J");
    bmpItem = addItem(n5, QStringLiteral("BMP"), "Ctrl+B");
    gifItem = addItem(n5, QStringLiteral("GIF"), "Ctrl+G");
    pngItem = addItem(n5, QStringLiteral("PNG"), "Ctrl+P");
    m_formatGroup = new QActionGroup(this);
    for (QAction* a : saveTypeItems()) {
        a->setCheckable(true);
        m_formatGroup->addAction(a);
    }
    jpegItem->setChecked(true);
    commandMenu->addSeparator();  // N3
    saveFolderItem = addItem(commandMenu, QStringLiteral("保存先設定"), "Ctrl+D");
    settingsItem = addItem(commandMenu, QStringLiteral("設定"), "Ctrl+V");
    QMenu* help1 = commandMenu->addMenu(QStringLiteral("ヘルプ"));
    aboutItem = addItem(help1, QStringLiteral("バージョン情報"));
    helpItem = addItem(help1, QStringLiteral("ヘルプ"));

    connect(saveAsItem, &QAction::triggered, this, &FrameWindow::saveAs);
    connect(saveToFolderItem, &QAction::triggered, this, &FrameWindow::saveToFolder);
    connect(intervalSaveItem, &QAction::triggered, this, &FrameWindow::saveAtIntervals);
    connect(copyItem, &QAction::triggered, this, &FrameWindow::copy);
    connect(recordItem, &QAction::triggered, this, &FrameWindow::startRecording);
    connect(printItem, &QAction::triggered, this, &FrameWindow::print);
    connect(wholeScreenItem, &QAction::triggered, this, &FrameWindow::toggleWholeScreen);
    connect(jpegItem, &QAction::triggered, this, &FrameWindow::chooseJpeg);
    connect(bmpItem, &QAction::triggered, this, &FrameWindow::chooseBmp);
    connect(gifItem, &QAction::triggered, this, &FrameWindow::chooseGif);
    connect(pngItem, &QAction::triggered, this, &FrameWindow::choosePng);
    connect(saveFolderItem, &QAction::triggered, this, &FrameWindow::openFolderChooser);
    connect(settingsItem, &QAction::triggered, this, &FrameWindow::openSettings);
    connect(aboutItem, &QAction::triggered, this, &FrameWindow::showAbout);
    connect(helpItem, &QAction::triggered, this, &FrameWindow::showHelp);
}

void FrameWindow::buildTrayMenu() {
    trayMenu = new QMenu(this);
    pausedItem = addItem(trayMenu, QStringLiteral("一時停止中"));
    pausedItem->setEnabled(false);
    resumeItem = trayMenu->addAction(QString());
    pauseItem = trayMenu->addAction(QString());
    stopItem = trayMenu->addAction(QString());
    for (HotkeyAction action : {HotkeyAction::Resume, HotkeyAction::Pause, HotkeyAction::Stop})
        showTrayHotkey(action, true);
    connect(resumeItem, &QAction::triggered, this, &FrameWindow::resumeRecording);
    connect(pauseItem, &QAction::triggered, this, &FrameWindow::pauseRecording);
    connect(stopItem, &QAction::triggered, this, &FrameWindow::stopRecording);
}

void FrameWindow::showTrayHotkey(HotkeyAction action, bool registered) {
    const struct {
        HotkeyAction action;
        QAction* item;
        const char16_t* caption;
    } kItems[] = {{HotkeyAction::Resume, resumeItem, u"再開"},
                  {HotkeyAction::Pause, pauseItem, u"一時停止"},
                  {HotkeyAction::Stop, stopItem, u"停止"}};
    for (const auto& entry : kItems) {
        if (entry.action != action) continue;
        QString text = QString::fromUtf16(entry.caption);
        // The shortcut texts name the hot keys, whichever the settings file chose.
        if (registered) text += QLatin1Char('\t') + m_state.hotkeys[action].text();
        entry.item->setText(text);
    }
}

void FrameWindow::buildActionList() {
    // Keys of Action1 .. Action20; the last six move and size the frame, each with two keys.
    static const char* const kKeys[20][2] = {
        {"Ctrl+A", nullptr},       {"Ctrl+S", nullptr},       {"Ctrl+Z", nullptr},
        {"Ctrl+X", nullptr},       {"Ctrl+C", nullptr},       {"Ctrl+E", nullptr},
        {"Ctrl+D", nullptr},       {"Ctrl+V", nullptr},       {"Ctrl+M", nullptr},
        {"Ctrl+J", nullptr},       {"Ctrl+B", nullptr},       {"Ctrl+F", nullptr},
        {"Ctrl+G", nullptr},       {"Ctrl+P", nullptr},       {"Ctrl+Alt+I", "Shift+I"},
        {"Ctrl+Alt+J", "Shift+J"}, {"Ctrl+Alt+K", "Shift+K"}, {"Ctrl+Alt+L", "Shift+L"},
        {"Ctrl+Alt+O", "Shift+O"}, {"Ctrl+Alt+U", "Shift+U"}};
    for (int i = 0; i < 20; ++i) {
        QAction* action = new QAction(QStringLiteral("Action%1").arg(i + 1), this);
        QList<QKeySequence> keys{QKeySequence(QLatin1String(kKeys[i][0]))};
        if (kKeys[i][1]) keys << QKeySequence(QLatin1String(kKeys[i][1]));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { runShortcut(i + 1); });
        shortcutActions[i] = action;
    }
}

void FrameWindow::runShortcut(int index) {
    const CaptureState& c = m_state.capture;
    if (index >= 15) {
        if (!c.Recording) keyboardStep(static_cast<StepDirection>(index - 14));
        return;
    }
    if (c.busy()) return;
    if (index == 1) {
        menuButton->click();
        return;
    }
    // Action2 .. Action14 click these items.
    QAction* const items[] = {saveAsItem,     saveToFolderItem, intervalSaveItem, copyItem, printItem,
                              saveFolderItem, settingsItem,     wholeScreenItem,  jpegItem, bmpItem,
                              recordItem,     gifItem,          pngItem};
    items[index - 2]->trigger();
}

void FrameWindow::openCommandMenu() {
    commandMenu->exec(commandMenuPosition(clientOrigin(), menuButton->geometry()));
}

void FrameWindow::saveAs() {
    if (m_captureCommands) m_captureCommands->saveAs();
}

void FrameWindow::saveToFolder() {
    if (m_captureCommands) m_captureCommands->saveToFolder();
}

void FrameWindow::print() {
    if (m_printCommand) m_printCommand->print();
}

void FrameWindow::saveAtIntervals() {
    if (m_captureCommands) m_captureCommands->armIntervalSave();
}

void FrameWindow::copy() {
    if (m_captureCommands) m_captureCommands->copy();
}

void FrameWindow::startRecording() {
    if (m_recording) m_recording->start();
}

void FrameWindow::resumeRecording() {
    if (m_recording) m_recording->resume();
}

void FrameWindow::pauseRecording() {
    if (m_recording) m_recording->pause();
}

void FrameWindow::stopRecording() {
    if (m_recording) m_recording->stop();
}

void FrameWindow::popUpTrayMenu(QPoint at) { trayMenu->popup(at); }

void FrameWindow::setMenuButtonVisible(bool visible) { menuButton->setVisible(visible); }

void FrameWindow::setClientSize(QSize size) {
    setClientWidth(size.width());
    setClientHeight(size.height());
}

void FrameWindow::toggleWholeScreen() {
    m_state.capture.WholeScreen = !m_state.capture.WholeScreen;
    wholeScreenItem->setChecked(m_state.capture.WholeScreen);
}

void FrameWindow::setSaveTypeFromMenu(QAction* item) {
    // The items are exclusive: the one checked is the one chosen.
    item->setChecked(true);
    m_state.settings.SaveType = checkedSaveFormatButton(saveTypeItems());
}

void FrameWindow::checkSaveTypeItem(int code) { checkSaveFormatButton(saveTypeItems(), code); }

int FrameWindow::checkedSaveTypeItem() const { return checkedSaveFormatButton(saveTypeItems()); }

void FrameWindow::setFolderItemCaption(const QString& caption) {
    saveFolderItem->setText(caption + QStringLiteral("\tCtrl+D"));
}

void FrameWindow::openSettings() {
    if (!m_settingsDialog) return;
    QWidget* dialog = m_settingsDialog->dialog();
    window_stack::showOver(dialog, this);
    setEnabled(false);
    window_stack::setTopmost(dialog, true);
}

void FrameWindow::openFolderChooser() {
    if (!m_folderChooser) return;
    window_stack::showOver(m_folderChooser, this);
    setEnabled(false);
    window_stack::setTopmost(m_folderChooser, true);
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
    const int n = m_stepper.step(direction, m_services.clock.timeGetTime());
    switch (direction) {
        case StepDirection::Up:
            move(base.left(), base.top() - n);
            break;
        case StepDirection::Left:
            move(base.left() - n, base.top());
            break;
        case StepDirection::Down:
            move(base.left(), base.top() + n);
            break;
        case StepDirection::Right:
            move(base.left() + n, base.top());
            break;
        case StepDirection::Larger:
        case StepDirection::Smaller: {
            // Width first, then height: two resizes, as setting each outer dimension is.
            const int d = direction == StepDirection::Larger ? n : -n;
            resize(base.width() + d, height());
            resize(width(), base.height() + d);
            break;
        }
        case StepDirection::None:
            break;
    }
}
