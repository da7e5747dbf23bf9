#include "app/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace {
QPixmap frameSymbol(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const qreal unit = size / 16.0;
    painter.scale(unit, unit);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2b, 0x5c, 0xa8));  // title bar and border
    painter.drawRect(QRectF(1, 1, 14, 14));
    painter.setBrush(QColor(0xe8, 0xf0, 0xfa));  // the client area
    painter.drawRect(QRectF(2.5, 4.5, 11, 9));
    painter.setBrush(QColor(0xd0, 0x30, 0x30));  // the menu button
    painter.drawRect(QRectF(5.5, 6.5, 5, 2.5));
    return pixmap;
}
}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) icon.addPixmap(frameSymbol(size));
    return icon;
}
