#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QString>
#include <span>

// The program's icon: the see-through frame with its title bar and menu button. One table of
// shapes draws it in the program and writes the files the desktop's menus show.
struct IconShape {
    QRectF rect;  // on a grid of kIconGrid × kIconGrid units
    QColor color;
};
inline constexpr int kIconGrid = 16;

// The shapes in painting order.
std::span<const IconShape> programIconShapes();

// The icon at size × size pixels, on a transparent ground.
QImage programIconImage(int size);

// The same shapes as a scalable SVG document.
QString programIconSvg();

// The icon in the sizes the window system and the notification area ask for.
QIcon programIcon();
