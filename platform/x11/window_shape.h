#pragma once

#include <QPoint>
#include <QRegion>
#include <QWidget>

class QAbstractButton;

// A frameless top-level window that draws its own title bar and sizing border, so that a
// window shape can cut the client area out while the frame can still be moved and sized.
// Regions are in window coordinates (origin at the outer top-left corner).
class ShapedFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 4;
    static constexpr int kTitleBar = 19;

    explicit ShapedFrame(QWidget* parent = nullptr);

    // The client area: the children of the window go here.
    QWidget* client() const { return m_client; }
    int clientWidth() const { return width() - 2 * kBorder; }
    int clientHeight() const { return height() - 2 * kBorder - kTitleBar; }
    void setClientWidth(int w);
    void setClientHeight(int h);
    static QPoint clientOffset() { return {kBorder, kBorder + kTitleBar}; }
    // Screen position of client point (0,0).
    QPoint clientOrigin() const { return pos() + clientOffset(); }

    // Makes the region the window's visible and clickable shape.
    void applyShape(const QRegion& region);
    QRegion appliedShape() const { return m_shape; }

    // Whether the window has the keyboard focus, or a window opened over it has; the title bar is
    // drawn active then.
    bool hasFocusState() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect titleBar() const;
    Qt::Edges edgesAt(QPoint pos) const;
    void layoutChildren();

    QWidget* m_client;
    QAbstractButton* m_minimizeButton;
    QAbstractButton* m_closeButton;
    QRegion m_shape;
    // The client area is transparent in the window's own pixels, not only cut out by the shape.
    bool m_seeThroughPixels = false;
    // Manual move or resize, for when no window manager takes the drag.
    Qt::Edges m_dragEdges;
    bool m_dragging = false;
    QPoint m_dragStartGlobal;
    QRect m_dragStartGeometry;
};
