#include "capture_window/ui/help_viewer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// Wide enough for the page's tables of keys and messages.
constexpr QSize kViewerSize(720, 560);
}  // namespace

HelpViewer::HelpViewer()
    : QWidget(nullptr, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_browser(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("ヘルプ"));
    resize(kViewerSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    // Pages on the web go to the desktop's browser; the help's own pages stay here.
    m_browser->setOpenExternalLinks(true);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("ヘルプ") : title);
    });
}

void HelpViewer::showPage(const QString& path) {
    // Opened again, the page stays where the user left it.
    const QUrl page = QUrl::fromLocalFile(path);
    if (m_browser->source().adjusted(QUrl::RemoveFragment) != page) m_browser->setSource(page);
}

void HelpViewer::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}
