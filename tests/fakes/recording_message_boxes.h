#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/x11/message_box.h"

// Records the texts the program would have shown, in order, instead of opening boxes.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void message(QWidget*, const QString& text) override {
        messages << text;
        if (whileShown) whileShown(text);
    }
    void error(QWidget*, const QString& text) override {
        errors << text;
        if (whileShown) whileShown(text);
    }
    void warning(QWidget*, const QString& text) override { warnings << text; }
    // Answers from answers in turn, then "いいえ".
    bool question(QWidget*, const QString& text) override {
        questions << text;
        if (whileShown) whileShown(text);
        return !answers.empty() && answers.takeFirst();
    }

    QStringList messages;
    QStringList errors;
    QStringList warnings;
    QStringList questions;
    QList<bool> answers;
    // Runs while a message or error box would be open, as a modal box lets events through.
    std::function<void(const QString& text)> whileShown;
};
