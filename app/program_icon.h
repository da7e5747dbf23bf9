#pragma once

#include <QIcon>

// The program's icon, drawn rather than loaded: the see-through frame with its title bar and menu
// button, in the sizes the window system and the notification area ask for.
QIcon programIcon();
