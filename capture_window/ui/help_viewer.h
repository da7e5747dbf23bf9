#pragma once

#include <QWidget>

class QTextBrowser;

// The program's own viewer of its help page, for a desktop where no program opens HTML files.
// Links within the page and to the files beside it are followed; the window's title is the page's.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    HelpViewer();

    // Shows the page file.
    void showPage(const QString& path);
    QTextBrowser* browser() const { return m_browser; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTextBrowser* m_browser;
};
