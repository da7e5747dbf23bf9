#pragma once

#include <QObject>

// What happens to the frame window that a feature's run answers. The frame emits them; a feature
// connects to its frame's events through StillFrame::events().
class FrameEvents : public QObject {
    Q_OBJECT
signals:
    void minimized();
    void restored();
    // A close the frame refused because a run is going: the run is to stop instead.
    void closeRequested();
};
