#pragma once

#include <QString>

class QWidget;

// The program's modal message boxes (one OK button). Windows take this interface
// so that tests can record what would have been shown.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A plain message box.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // The application's standard error box.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A warning box titled "警告".
    virtual void warning(QWidget* parent, const QString& text) = 0;
};

// The text the program reports when a file cannot be created (the framework's own error text).
QString fileCreationErrorText(const QString& path);

// Real boxes: modal QMessageBox, whose nested event loop keeps timers running.
class QtMessageBoxes final : public MessageBoxes {
public:
    void message(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void warning(QWidget* parent, const QString& text) override;
};
