#include "x11_test_support.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

QImage grabScreen() {
    // Give the windows uncovered by a shape change time to repaint.
    waitUntil([] { return false; }, 120);
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

bool sendKeys(const QStringList& keys, int delayMs) {
    QProcess xdotool;
    xdotool.start(
        QStringLiteral("xdotool"),
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QString::number(delayMs)} + keys);
    // Keep serving the X connection while xdotool types.
    waitUntil([&] { return xdotool.state() == QProcess::NotRunning; }, 10000);
    const bool ok = xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    waitUntil([] { return false; }, 80);
    return ok;
}

Backdrop::Backdrop() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor Backdrop::colorAt(int x, int y) {
    // Smooth ramps that turn back instead of wrapping: neighbouring pixels differ, and there are
    // no hard edges that no lossy encoder could keep.
    const auto ramp = [](int t) { return std::abs(t % 510 - 255); };
    return QColor(ramp(x), ramp(y), ramp((x + y) / 2));
}

void Backdrop::paintEvent(QPaintEvent*) {
    QImage picture(size(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) line[x] = colorAt(x, y).rgb();
    }
    QPainter(this).drawImage(0, 0, picture);
}

OtherClient::OtherClient() : m_connection(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(m_connection)) throw std::runtime_error("no X server");
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

OtherClient::~OtherClient() { xcb_disconnect(m_connection); }

void OtherClient::showWindow(const QRect& g) {
    m_window = xcb_generate_id(m_connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const uint32_t values[] = {screen->black_pixel};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, g.x(), g.y(), g.width(),
                      g.height(), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values);
    xcb_map_window(m_connection, m_window);
    const uint32_t above[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(m_connection, m_window, XCB_CONFIG_WINDOW_STACK_MODE, above);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));  // round trip
}

void OtherClient::focusWindow() {
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, m_window, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool OtherClient::grabCtrlKey(const char* keysymName) {
    // Look the keycode up by asking the server for the keyboard mapping.
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&free)> map(
        xcb_get_keyboard_mapping_reply(m_connection,
                                       xcb_get_keyboard_mapping(m_connection, setup->min_keycode,
                                                                setup->max_keycode - setup->min_keycode + 1),
                                       nullptr),
        &free);
    if (!map) return false;
    const uint32_t wanted = std::string(keysymName) == "F4" ? 0xffc1 : 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int per = map->keysyms_per_keycode;
    for (int code = setup->min_keycode; code <= setup->max_keycode; ++code) {
        if (syms[(code - setup->min_keycode) * per] != wanted) continue;
        xcb_void_cookie_t cookie = xcb_grab_key_checked(m_connection, 1, m_root, XCB_MOD_MASK_CONTROL, code,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        free(error);
        return error == nullptr;
    }
    return false;
}

std::vector<std::uint32_t> OtherClient::stackingOrder() {
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr), &free);
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

int stackIndex(const std::vector<std::uint32_t>& order, std::uint32_t window) {
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == window) return static_cast<int>(i);
    return -1;
}

QString OtherClient::windowName(std::uint32_t window) {
    for (const char* property : {"_NET_WM_NAME", "WM_NAME"}) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
            xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, strlen(property), property),
                                  nullptr),
            &free);
        if (!atom) continue;
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 0, window, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                nullptr),
            &free);
        if (reply && xcb_get_property_value_length(reply.get()) > 0)
            return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                     xcb_get_property_value_length(reply.get()));
    }
    return {};
}

std::vector<std::uint32_t> OtherClient::findWindows(const QString& name) {
    std::vector<std::uint32_t> found;
    const auto viewable = [&](std::uint32_t w) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, w),
                                            nullptr),
            &free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    };
    for (std::uint32_t w : stackingOrder()) {
        if (!viewable(w)) continue;
        if (windowName(w) == name) {
            found.push_back(w);
            continue;
        }
        // A window manager puts each client window into a frame window of its own.
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, w), nullptr), &free);
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            if (viewable(children[i]) && windowName(children[i]) == name) found.push_back(children[i]);
    }
    return found;
}

QRect OtherClient::geometryOf(std::uint32_t window) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> g(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &free);
    return g ? QRect(g->x, g->y, g->width, g->height) : QRect();
}
