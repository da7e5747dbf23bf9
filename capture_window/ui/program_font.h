#pragma once

#include <QFont>

// The font of every window of the program: the proportional IPA gothic at 12 pixels. The design
// sizes of the buttons, dialogs and message boxes are measured in it.
QFont programFont();
