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
    // A question titled with the program's name and the buttons "はい" and "いいえ"; "はい" is the
    // default, so Enter takes it. True for "はい"; closing the box counts as "いいえ".
    virtual bool question(QWidget* parent, const QString& text) = 0;
};

// The text the program reports when a file cannot be created (the framework's own error text).
QString fileCreationErrorText(const QString& path);

// A second line for a message about a failed file operation, saying why in the user's words:
// a full disk, a folder the user may not write, or the system's own text for anything else.
QString fileErrorCause(int errorNumber);

// text, then the cause on its own line.
QString withCause(const QString& text, int errorNumber);

// Real boxes: modal QMessageBox, whose nested event loop keeps timers running.
class QtMessageBoxes final : public MessageBoxes {
public:
    void message(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void warning(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
};
