#pragma once

#include <QString>
#include <QStringList>

#include "platform/message_box.h"

// Records the texts the program would have shown, in order, instead of opening boxes.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void message(QWidget*, const QString& text) override { messages << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
    void warning(QWidget*, const QString& text) override { warnings << text; }

    QStringList messages;
    QStringList errors;
    QStringList warnings;
};
