#include "platform/x11/window_shape.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "platform/system/desktop_session.h"
#include "platform/x11/window_stack.h"

namespace {
constexpr int kCornerGrip = 12;  // corners are easier to catch than the 4-pixel border
constexpr int kMinimumWidth = 80;
constexpr int kMinimumHeight = 2 * ShapedFrame::kBorder + ShapedFrame::kTitleBar + 1;

// A title-bar button: its text in bold in the title bar's colours, so that it reads on any style, on
// a dark ground while the pointer is over it. Drawn here rather than through a style sheet, whose
// parsing alone would hold back the frame's first appearance by milliseconds.
class TitleBarButton final : public QAbstractButton {
public:
    TitleBarButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
        setText(text);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        QFont bold;
        bold.setBold(true);
        setFont(bold);  // bold, in the family and size the window gives
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (underMouse() || isDown()) painter.fillRect(rect(), palette().dark());
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};
}  // namespace

ShapedFrame::ShapedFrame(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_client(new QWidget(this)),
      m_minimizeButton(new TitleBarButton(QStringLiteral("–"), this)),
      m_closeButton(new TitleBarButton(QStringLiteral("×"), this)) {
    setMouseTracking(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    connect(m_minimizeButton, &QAbstractButton::clicked, this, [this] { showMinimized(); });
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { close(); });
    // On a Wayland desktop the compositor may show the window unshaped (GNOME does while another
    // window has the keyboard): there the client area is see-through in its pixels too.
    m_seeThroughPixels = onWaylandDesktop();
    if (m_seeThroughPixels) setAttribute(Qt::WA_TranslucentBackground);
    m_client->setAutoFillBackground(!m_seeThroughPixels);
    layoutChildren();
    // Qt forgets a window it hides as the active one, and does not learn it again when the window
    // comes back with the keyboard focus it never lost: the title bar follows the focus itself.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { update(titleBar()); });
}

QRect ShapedFrame::titleBar() const { return {kBorder, kBorder, width() - 2 * kBorder, kTitleBar}; }

bool ShapedFrame::hasFocusState() const {
    const QWindow* window = windowHandle();
    return window && window->isActive();
}

void ShapedFrame::setClientWidth(int w) { resize(w + 2 * kBorder, height()); }

void ShapedFrame::setClientHeight(int h) { resize(width(), h + 2 * kBorder + kTitleBar); }

void ShapedFrame::applyShape(const QRegion& region) {
    m_shape = region;
    setMask(region);
}

void ShapedFrame::layoutChildren() {
    m_client->setGeometry(QRect(clientOffset(), QSize(qMax(0, clientWidth()), qMax(0, clientHeight()))));
    // Sized for one bold glyph of the program's 12 px font, not from the font itself: measuring
    // it would load the font before the window is first shown, and delay the start.
    for (QAbstractButton* b : {m_minimizeButton, m_closeButton}) b->resize(kTitleBar, kTitleBar - 2);
    const int y = kBorder + 1;
    m_closeButton->move(width() - kBorder - m_closeButton->width() - 1, y);
    m_minimizeButton->move(m_closeButton->x() - m_minimizeButton->width() - 1, y);
}

void ShapedFrame::resizeEvent(QResizeEvent* event) {
    layoutChildren();
    QWidget::resizeEvent(event);
}

void ShapedFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::ActivationChange) update();
    if (event->type() == QEvent::FontChange) layoutChildren();
    // The frame is hidden and shown for every capture; restored by the window manager, it must not
    // come back minimized from its next capture.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) window_stack::clearMinimizedStart(this);
    QWidget::changeEvent(event);
}

void ShapedFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    // A raised outer edge, as a sizing border looks.
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);

    if (m_seeThroughPixels) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(m_client->geometry(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    const QRect bar = titleBar();
    const bool active = hasFocusState();
    p.fillRect(bar, active ? pal.color(QPalette::Active, QPalette::Highlight)
                           : pal.color(QPalette::Inactive, QPalette::Dark));
    p.setPen(active ? pal.color(QPalette::Active, QPalette::HighlightedText) : pal.color(QPalette::Light));
    const QRect text = bar.adjusted(4, 0, -(width() - m_minimizeButton->x() + 2), 0);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(windowTitle(), Qt::ElideRight, text.width()));
}

Qt::Edges ShapedFrame::edgesAt(QPoint pos) const {
    Qt::Edges edges;
    const int grip = kBorder;
    const bool nearLeft = pos.x() < grip, nearRight = pos.x() >= width() - grip;
    const bool nearTop = pos.y() < grip, nearBottom = pos.y() >= height() - grip;
    // Along a side, the last few pixels before a corner size both ways.
    const bool cornerX = pos.x() < kCornerGrip || pos.x() >= width() - kCornerGrip;
    const bool cornerY = pos.y() < kCornerGrip || pos.y() >= height() - kCornerGrip;
    if (nearLeft || ((nearTop || nearBottom) && cornerX && pos.x() < kCornerGrip)) edges |= Qt::LeftEdge;
    if (nearRight || ((nearTop || nearBottom) && cornerX && pos.x() >= width() - kCornerGrip))
        edges |= Qt::RightEdge;
    if (nearTop || ((nearLeft || nearRight) && cornerY && pos.y() < kCornerGrip)) edges |= Qt::TopEdge;
    if (nearBottom || ((nearLeft || nearRight) && cornerY && pos.y() >= height() - kCornerGrip))
        edges |= Qt::BottomEdge;
    return edges;
}

void ShapedFrame::mousePressEvent(QMouseEvent* event) {
    // Qt gives a click's window the keyboard unless no window manager looks after it: a window that
    // places itself (see tilesManagedWindows) takes it itself.
    const bool unmanaged = windowFlags().testFlag(Qt::X11BypassWindowManagerHint);
    if (unmanaged) activateWindow();
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    const Qt::Edges edges = edgesAt(pos);
    const bool onTitle = !edges && pos.y() < kBorder + kTitleBar;
    if (!edges && !onTitle) return QWidget::mousePressEvent(event);
    // A window manager that supports it moves or sizes the window itself; otherwise we do.
    QWindow* w = windowHandle();
    const bool systemDrag = w && !unmanaged && (edges ? w->startSystemResize(edges) : w->startSystemMove());
    if (!systemDrag) {
        m_dragging = true;
        m_dragEdges = edges;
        m_dragStartGlobal = event->globalPosition().toPoint();
        m_dragStartGeometry = geometry();
    }
    event->accept();
}

void ShapedFrame::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        const Qt::Edges e = edgesAt(event->position().toPoint());
        const bool diag = (e & (Qt::LeftEdge | Qt::RightEdge)) && (e & (Qt::TopEdge | Qt::BottomEdge));
        const bool backslash = e == (Qt::LeftEdge | Qt::TopEdge) || e == (Qt::RightEdge | Qt::BottomEdge);
        setCursor(diag ? (backslash ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor)
                  : (e & (Qt::LeftEdge | Qt::RightEdge)) ? Qt::SizeHorCursor
                  : e                                    ? Qt::SizeVerCursor
                                                         : Qt::ArrowCursor);
        return QWidget::mouseMoveEvent(event);
    }
    const QPoint delta = event->globalPosition().toPoint() - m_dragStartGlobal;
    QRect g = m_dragStartGeometry;
    if (!m_dragEdges) {
        move(g.topLeft() + delta);
        return;
    }
    const QSize min = minimumSize();
    if (m_dragEdges & Qt::LeftEdge) g.setLeft(qMin(g.left() + delta.x(), g.right() + 1 - min.width()));
    if (m_dragEdges & Qt::RightEdge) g.setRight(qMax(g.right() + delta.x(), g.left() + min.width() - 1));
    if (m_dragEdges & Qt::TopEdge) g.setTop(qMin(g.top() + delta.y(), g.bottom() + 1 - min.height()));
    if (m_dragEdges & Qt::BottomEdge) g.setBottom(qMax(g.bottom() + delta.y(), g.top() + min.height() - 1));
    setGeometry(g);
}

void ShapedFrame::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
