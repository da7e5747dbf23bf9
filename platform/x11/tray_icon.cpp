#include "platform/x11/tray_icon.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

TrayIcon::~TrayIcon() { remove(); }

void TrayIcon::add(const QIcon& icon, const QString& tip) {
    remove();
    m_icon = new QSystemTrayIcon(this);
    m_icon->setIcon(icon.isNull() ? QApplication::style()->standardIcon(QStyle::SP_ComputerIcon) : icon);
    m_icon->setToolTip(tip);
    // Qt reports a button press on the icon as Trigger (left) or Context (right, with no menu set).
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
            case QSystemTrayIcon::Trigger:
                emit mouseMessage(TrayMouse::LeftButtonDown);
                break;
            case QSystemTrayIcon::Context:
                emit mouseMessage(TrayMouse::RightButtonDown);
                break;
            default:
                emit mouseMessage(TrayMouse::Other);
                break;
        }
    });
    m_icon->show();
}

void TrayIcon::remove() {
    delete m_icon;
    m_icon = nullptr;
}

bool TrayIcon::isPresent() const { return m_icon && m_icon->isVisible(); }

QRect TrayIcon::geometry() const { return m_icon ? m_icon->geometry() : QRect(); }
