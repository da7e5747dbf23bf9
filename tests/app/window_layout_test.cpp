// Every top-level window of the program, each page of the settings dialog on its own, shown as the
// user meets it: every control whole, readable and in its place at the program's font.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWindow>
#include <functional>

#include "fakes/avi_module.h"
#include "fakes/raw_avi.h"
#include "platform/avi/module/codec_dialog.h"
#include "program_fixture.h"
#include "settings/ui/folder_chooser.h"
#include "settings/ui/settings_dialog.h"
#include "still/ui/interval_dialog.h"
#include "still/ui/interval_saving.h"
#include "video/ui/assembly_progress_window.h"
#include "video/ui/save_progress_window.h"

namespace {

// The one place that makes the codec dialog, over a short uncompressed AVI.
std::unique_ptr<QDialog> makeCodecDialog(const QString& aviPath, std::unique_ptr<AviSource>& source) {
    const Bytes frame = dibSample(32, 24, 24, [](int x, int y, std::uint8_t* out) {
        out[0] = std::uint8_t(x * 8);
        out[1] = std::uint8_t(y * 10);
        out[2] = 128;
    });
    if (!writeRawAvi(aviPath, 32, 24, 24, 10, 3, [&](int) -> const Bytes& { return frame; })) return nullptr;
    AviSource::Status status;
    source = aviLibrary().openSource(aviPath.toStdString(), status);
    if (!source) return nullptr;
    return std::make_unique<CodecDialog>(nullptr, *source, AviSaveOptions{});
}

// Widgets a control is made of (a spin box's text field, a tree's scroll bars): they belong to
// their control's look, not to the window's layout.
bool isPartOfAControl(const QWidget* widget, const QWidget* window) {
    for (const QWidget* p = widget->parentWidget(); p && p != window; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QAbstractScrollArea*>(p) ||
            qobject_cast<const QComboBox*>(p) || qobject_cast<const QTabBar*>(p))
            return true;
    }
    return false;
}

bool isControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QGroupBox*>(w) ||
           qobject_cast<const QProgressBar*>(w) || qobject_cast<const QAbstractScrollArea*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QTabBar*>(w);
}

QString nameOf(const QWidget* w) {
    const QString text = w->property("text").toString() + w->property("title").toString();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), text);
}

// Whether the text the control shows fits in it, as its font measures the text.
QString textProblem(const QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->wordWrap() || label->text().isEmpty()) return {};
        const QRect room = label->contentsRect().adjusted(label->margin(), 0, -label->margin(), 0);
        if (fm.horizontalAdvance(label->text()) > room.width() || fm.height() > room.height())
            return QStringLiteral("text cut");
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        // The frame and the text margins take a few pixels on each side.
        if (fm.horizontalAdvance(edit->text()) + 8 > edit->width()) return QStringLiteral("text cut");
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        if (button->width() < button->sizeHint().width()) return QStringLiteral("text cut");
    } else if (const auto* tabs = qobject_cast<const QTabBar*>(w)) {
        for (const QToolButton* arrow : tabs->findChildren<QToolButton*>())
            if (arrow->isVisible()) return QStringLiteral("scroll arrows shown");
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->rect().contains(tabs->tabRect(i)) ||
                tabs->tabRect(i).width() < fm.horizontalAdvance(tabs->tabText(i)))
                return QStringLiteral("tab %1 out of sight").arg(i);
        }
    }
    return {};
}

// Every fault of the window's controls, one line each.
QStringList layoutProblems(QWidget* window) {
    QStringList problems;
    const auto report = [&](const QWidget* w, const QString& what) {
        problems << nameOf(w) + QStringLiteral(": ") + what;
    };
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    QList<const QWidget*> shown;
    for (const QWidget* w : all) {
        if (w->isWindow() || isPartOfAControl(w, window) || !w->parentWidget()->isVisible()) continue;
        if (!w->isVisible()) {
            // Hidden on purpose is fine; never shown at all is a control the user cannot reach.
            if (!w->testAttribute(Qt::WA_WState_ExplicitShowHide)) report(w, QStringLiteral("never shown"));
            continue;
        }
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(inWindow)) report(w, QStringLiteral("outside its window"));
        if (!isControl(w)) continue;
        shown << w;
        const QSize least = qobject_cast<const QAbstractSpinBox*>(w) ? w->sizeHint() : w->minimumSizeHint();
        if (w->width() < least.width() || w->height() < least.height())
            report(w, QStringLiteral("%1x%2 below %3x%4")
                          .arg(w->width())
                          .arg(w->height())
                          .arg(least.width())
                          .arg(least.height()));
        else if (const QString text = textProblem(w); !text.isEmpty())
            report(w, text);
    }
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            if (shown[i]->parentWidget() == shown[j]->parentWidget() &&
                shown[i]->geometry().intersects(shown[j]->geometry()))
                report(shown[i], QStringLiteral("overlaps ") + nameOf(shown[j]));
    return problems;
}

// A menu holds every item's caption and key text within its width.
QStringList menuProblems(QMenu* menu) {
    QStringList problems;
    const QFontMetrics fm = menu->fontMetrics();
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const QRect item = menu->actionGeometry(action);
        const QStringList parts = action->text().split(QLatin1Char('\t'));
        int width = 0;
        for (const QString& part : parts) width += fm.horizontalAdvance(part);
        if (!menu->rect().contains(item) || item.width() < width)
            problems << action->text() + QStringLiteral(": cut");
    }
    return problems;
}

}  // namespace

TEST_F(ProgramTest, EveryWindowShowsEveryControlWholeAndReadable) {
    start();
    ASSERT_EQ(QFontInfo(form().font()).family(), QStringLiteral("IPAPGothic"));
    ASSERT_EQ(QFontInfo(QApplication::font()).pixelSize(), 12);
    SettingsDialog& settings = *program->settingsDialog;
    std::unique_ptr<AviSource> source;
    std::unique_ptr<QDialog> codecDialog = makeCodecDialog(folder() + QStringLiteral("layout.avi"), source);
    ASSERT_TRUE(codecDialog);
    SaveProgressWindow saveProgress;
    const auto settingsPage = [&](int page) {
        return [&, page]() -> QWidget* {
            choose(FrameCommand::Settings);
            settings.pages->setCurrentIndex(page);
            return &settings;
        };
    };

    struct Row {
        const char* window;
        std::function<QWidget*()> open;
    } const rows[] = {
        {"frame", [&]() -> QWidget* { return &form(); }},
        {"settings, image and video", settingsPage(0)},
        {"settings, printing", settingsPage(1)},
        {"settings, other", settingsPage(2)},
        {"settings, saving", settingsPage(3)},
        {"settings, hot keys", settingsPage(4)},
        {"folder chooser",
         [&]() -> QWidget* {
             choose(FrameCommand::ChooseSaveFolder);
             return program->folderChooser.get();
         }},
        {"interval dialog",
         [&]() -> QWidget* {
             program->intervalSaving->dialog().show();
             return &program->intervalSaving->dialog();
         }},
        {"AVI progress",
         [&]() -> QWidget* {
             program->progressWindow->show();
             return program->progressWindow.get();
         }},
        {"re-compression progress",
         [&]() -> QWidget* {
             saveProgress.show();
             return &saveProgress;
         }},
        {"codec dialog",
         [&]() -> QWidget* {
             codecDialog->show();
             return codecDialog.get();
         }},
    };
    for (const Row& row : rows) {
        QWidget* window = row.open();
        ASSERT_TRUE(waitUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }))
            << row.window;
        waitForXIdle();  // pending layout requests
        EXPECT_EQ(layoutProblems(window).join(QLatin1Char('\n')).toStdString(), "") << row.window;
        if (window != &form()) window->close();
    }

    form().commandMenu->popup(form().clientOrigin());
    ASSERT_TRUE(waitUntil([&] { return form().commandMenu->isVisible(); }));
    EXPECT_EQ(menuProblems(form().commandMenu).join(QLatin1Char('\n')).toStdString(), "");
    for (QAction* submenu : form().commandMenu->actions()) {
        if (!submenu->menu()) continue;
        submenu->menu()->popup(form().clientOrigin());
        ASSERT_TRUE(waitUntil([&] { return submenu->menu()->isVisible(); }));
        EXPECT_EQ(menuProblems(submenu->menu()).join(QLatin1Char('\n')).toStdString(), "")
            << submenu->text().toStdString();
        submenu->menu()->close();
    }
    form().commandMenu->close();
}
