#include "app/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace {
const std::array<IconShape, 3> kShapes{{
    {QRectF(1, 1, 14, 14), QColor(0x2b, 0x5c, 0xa8)},      // title bar and border
    {QRectF(2.5, 4.5, 11, 9), QColor(0xe8, 0xf0, 0xfa)},   // the client area
    {QRectF(5.5, 6.5, 5, 2.5), QColor(0xd0, 0x30, 0x30)},  // the menu button
}};
}  // namespace

std::span<const IconShape> programIconShapes() { return kShapes; }

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const qreal unit = qreal(size) / kIconGrid;
    painter.scale(unit, unit);
    painter.setPen(Qt::NoPen);
    for (const IconShape& shape : kShapes) {
        painter.setBrush(shape.color);
        painter.drawRect(shape.rect);
    }
    return image;
}

QString programIconSvg() {
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(kIconGrid);
    for (const IconShape& shape : kShapes)
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                   .arg(shape.rect.x())
                   .arg(shape.rect.y())
                   .arg(shape.rect.width())
                   .arg(shape.rect.height())
                   .arg(shape.color.name());
    return svg + QStringLiteral("</svg>\n");
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}
