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

void TForm1::buildCommandMenu() {
    PopupMenu1 = new QMenu(this);
    SaveAs1 = addItem(PopupMenu1, QStringLiteral("名前を付けて保存"), "Ctrl+S");
    N1 = addItem(PopupMenu1, QStringLiteral("指定先に保存"), "Ctrl+Z");
    N2 = addItem(PopupMenu1, QStringLiteral("一定時間ごとに保存"), "Ctrl+X");
    Copy1 = addItem(PopupMenu1, QStringLiteral("コピー"), "Ctrl+C");
    N9 = addItem(PopupMenu1, QStringLiteral("動画保存"), "Ctrl+F");
    Print1 = addItem(PopupMenu1, QStringLiteral("印刷"), "Ctrl+E");
    PopupMenu1->addSeparator();  // N8
    N4 = addItem(PopupMenu1, QStringLiteral("全画面を対象"), "Ctrl+M");
    N4->setCheckable(true);
    QMenu* n5 = PopupMenu1->addMenu(QStringLiteral("保存タイプ"));
    JPEG1 = addItem(n5, QStringLiteral("JPEG"), "Ctrl+J");
    BMP1 = addItem(n5, QStringLiteral("BMP"), "Ctrl+B");
    GIF1 = addItem(n5, QStringLiteral("GIF"), "Ctrl+G");
    PNG1 = addItem(n5, QStringLiteral("PNG"), "Ctrl+P");
    m_formatGroup = new QActionGroup(this);
    for (QAction* a : saveTypeItems()) {
        a->setCheckable(true);
        m_formatGroup->addAction(a);
    }
    JPEG1->setChecked(true);
    PopupMenu1->addSeparator();  // N3
    N7 = addItem(PopupMenu1, QStringLiteral("保存先設定"), "Ctrl+D");
    N6 = addItem(PopupMenu1, QStringLiteral("設定"), "Ctrl+V");
    QMenu* help1 = PopupMenu1->addMenu(QStringLiteral("ヘルプ"));
    About1 = addItem(help1, QStringLiteral("バージョン情報"));
    Help2 = addItem(help1, QStringLiteral("ヘルプ"));

    connect(SaveAs1, &QAction::triggered, this, &TForm1::SaveAs1Click);
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(Copy1, &QAction::triggered, this, &TForm1::Copy1Click);
    connect(N9, &QAction::triggered, this, &TForm1::N9Click);
    connect(Print1, &QAction::triggered, this, &TForm1::Print1Click);
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    connect(JPEG1, &QAction::triggered, this, &TForm1::JPEG1Click);
    connect(BMP1, &QAction::triggered, this, &TForm1::BMP1Click);
    connect(GIF1, &QAction::triggered, this, &TForm1::GIF1Click);
    connect(PNG1, &QAction::triggered, this, &TForm1::PNG1Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(N6, &QAction::triggered, this, &TForm1::N6Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
    connect(Help2, &QAction::triggered, this, &TForm1::Help2Click);
}

void TForm1::buildTrayMenu() {
    PopupMenu2 = new QMenu(this);
    N13 = addItem(PopupMenu2, QStringLiteral("一時停止中"));
    N13->setEnabled(false);
    N10 = PopupMenu2->addAction(QString());
    N11 = PopupMenu2->addAction(QString());
    N12 = PopupMenu2->addAction(QString());
    for (HotkeyAction action : {HotkeyAction::Resume, HotkeyAction::Pause, HotkeyAction::Stop})
        showTrayHotkey(action, true);
    connect(N10, &QAction::triggered, this, &TForm1::N10Click);
    connect(N11, &QAction::triggered, this, &TForm1::N11Click);
    connect(N12, &QAction::triggered, this, &TForm1::N12Click);
}

void TForm1::showTrayHotkey(HotkeyAction action, bool registered) {
    const struct {
        HotkeyAction action;
        QAction* item;
        const char16_t* caption;
    } kItems[] = {{HotkeyAction::Resume, N10, u"再開"},
                  {HotkeyAction::Pause, N11, u"一時停止"},
                  {HotkeyAction::Stop, N12, u"停止"}};
    for (const auto& entry : kItems) {
        if (entry.action != action) continue;
        QString text = QString::fromUtf16(entry.caption);
        // The shortcut texts name the hot keys, whichever the settings file chose.
        if (registered) text += QLatin1Char('\t') + m_state.hotkeys[action].text();
        entry.item->setText(text);
    }
}

void TForm1::buildActionList() {
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
        connect(action, &QAction::triggered, this, [this, i] { actionExecute(i + 1); });
        ActionList1[i] = action;
    }
}

void TForm1::actionExecute(int index) {
    const CaptureState& c = m_state.capture;
    if (index >= 15) {
        if (!c.Recording) keyboardStep(static_cast<StepDirection>(index - 14));
        return;
    }
    if (c.busy()) return;
    if (index == 1) {
        Button1->click();
        return;
    }
    // Action2 .. Action14 click these items.
    QAction* const items[] = {SaveAs1, N1, N2, Copy1, Print1, N7, N6, N4, JPEG1, BMP1, N9, GIF1, PNG1};
    items[index - 2]->trigger();
}

void TForm1::Button1Click() { PopupMenu1->exec(commandMenuPosition(clientOrigin(), Button1->geometry())); }

void TForm1::SaveAs1Click() {
    if (m_captureCommands) m_captureCommands->saveAs();
}

void TForm1::N1Click() {
    if (m_captureCommands) m_captureCommands->saveToFolder();
}

void TForm1::Print1Click() {
    if (m_printCommand) m_printCommand->print();
}

void TForm1::N2Click() {
    if (m_captureCommands) m_captureCommands->armIntervalSave();
}

void TForm1::Copy1Click() {
    if (m_captureCommands) m_captureCommands->copy();
}

void TForm1::N9Click() {
    if (m_recording) m_recording->start();
}

void TForm1::N10Click() {
    if (m_recording) m_recording->resume();
}

void TForm1::N11Click() {
    if (m_recording) m_recording->pause();
}

void TForm1::N12Click() {
    if (m_recording) m_recording->stop();
}

void TForm1::popUpTrayMenu(QPoint at) { PopupMenu2->popup(at); }

void TForm1::setMenuButtonVisible(bool visible) { Button1->setVisible(visible); }

void TForm1::setClientSize(QSize size) {
    setClientWidth(size.width());
    setClientHeight(size.height());
}

void TForm1::N4Click() {
    m_state.capture.WholeScreen = !m_state.capture.WholeScreen;
    N4->setChecked(m_state.capture.WholeScreen);
}

void TForm1::setSaveTypeFromMenu(QAction* item) {
    // The items are exclusive: the one checked is the one chosen.
    item->setChecked(true);
    m_state.settings.SaveType = checkedSaveFormatButton(saveTypeItems());
}

void TForm1::checkSaveTypeItem(int code) { checkSaveFormatButton(saveTypeItems(), code); }

int TForm1::checkedSaveTypeItem() const { return checkedSaveFormatButton(saveTypeItems()); }

void TForm1::setFolderItemCaption(const QString& caption) {
    N7->setText(caption + QStringLiteral("\tCtrl+D"));
}

void TForm1::N6Click() {
    if (!m_settingsDialog) return;
    QWidget* dialog = m_settingsDialog->dialog();
    window_stack::showOver(dialog, this);
    setEnabled(false);
    window_stack::setTopmost(dialog, true);
}

void TForm1::N7Click() {
    if (!m_folderChooser) return;
    window_stack::showOver(m_folderChooser, this);
    setEnabled(false);
    window_stack::setTopmost(m_folderChooser, true);
}

void TForm1::About1Click() {
    m_services.messages.message(
        this, QStringLiteral("Kadrel ver 1.02\nCopyright (C) Kadrel 開発チーム  GPL-3.0-or-later"));
}

void TForm1::Help2Click() {
    const QString folder = m_state.settings.ProgramDirectory + QStringLiteral("Help/");
    const QString page = folder + QStringLiteral("manual.htm");
    const QString cannotShow = QStringLiteral("ヘルプを表示できません");
    if (!QFileInfo(page).isFile()) return m_services.messages.message(this, cannotShow);
    // Where no program takes the page, the program shows it itself.
    m_services.documents.open(page, [this, self = QPointer<TForm1>(this), page] {
        if (self) showHelpViewer(page);
    });
}

void TForm1::showHelpViewer(const QString& page) {
    if (!m_helpViewer) {
        m_helpViewer = std::make_unique<HelpViewer>();
        // Without a window manager nothing else gives the keyboard back to the frame.
        connect(m_helpViewer.get(), &HelpViewer::closed, this,
                [this] { window_stack::bringToForeground(this); });
    }
    m_helpViewer->showPage(page);
    window_stack::showOver(m_helpViewer.get(), this);
}

void TForm1::keyboardStep(StepDirection direction) {
    const QRect base = geometry();
    const int n = m_stepper.step(direction);
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
    Timer5.stop();
    Timer5.start();
}

void TForm1::Timer5Timer() { m_stepper.reset(); }
