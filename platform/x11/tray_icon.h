#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>

class QSystemTrayIcon;

// The mouse events over the icon that the program tells apart; a double click's second press and
// the middle button are Other.
enum class TrayMouse { LeftButtonDown, RightButtonDown, Other };

// One icon in the desktop's notification area (a system tray through XEmbed or StatusNotifierItem).
// Present between add() and remove(); a press on it is reported through mouseMessage().
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Shows the icon with its tool tip; a null icon gets a standard one. Where the desktop has no
    // notification area nothing is shown, and no error is reported.
    void add(const QIcon& icon, const QString& tip);
    void remove();
    bool isPresent() const;
    // Where the icon sits on the screen, when the notification area tells.
    QRect geometry() const;

signals:
    void mouseMessage(TrayMouse event);

private:
    QSystemTrayIcon* m_icon = nullptr;
};
