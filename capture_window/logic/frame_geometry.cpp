#include "capture_window/logic/frame_geometry.h"

FrameRegions buildFrameRegions(const FrameLayout& layout, bool busy) {
    const QPoint off = layout.clientOffset;
    FrameRegions r;
    r.button = QRegion(layout.button.translated(off));
    r.window = QRegion(QRect(QPoint(0, 0), layout.windowSize));
    r.client = QRegion(QRect(off, layout.clientSize));
    r.frame = r.window.subtracted(r.client);
    r.frameButton = busy ? QRegion(0, 0, 1, 1) : r.frame.united(r.button);
    return r;
}

QRegion frameShape(const FrameRegions& regions, bool busy) {
    return busy ? regions.frame : regions.frameButton;
}

QString frameCaption(int clientWidth, int clientHeight, bool intervalMode) {
    QString caption = QStringLiteral("Kadrel1.02  %1 , %2").arg(clientWidth).arg(clientHeight);
    if (intervalMode) caption += QStringLiteral("一定時間ごとに保存");
    return caption;
}

std::optional<QPoint> menuButtonPosition(QSize clientSize, int buttonWidth) {
    const int w = clientSize.width();
    const int h = clientSize.height();
    if (w > 250) return QPoint(w / 2 - buttonWidth / 2, h / 10);
    if (h >= 70) return QPoint(w / 2 - 35, h / 6);
    return std::nullopt;
}

QPoint commandMenuPosition(QPoint clientOrigin, const QRect& button) {
    return {clientOrigin.x() + button.left() - button.width(),
            clientOrigin.y() + button.top() + button.height()};
}
