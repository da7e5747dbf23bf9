#include "x11_test_support.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "test_pictures.h"

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

bool holdsFor(const std::function<bool()>& condition, int ms) {
    return !waitUntil([&] { return !condition(); }, ms);
}

void waitForXIdle() {
    // The second round trip dispatches what the handlers of the first one's events asked for.
    for (int i = 0; i < 2; ++i) {
        QGuiApplication::sync();
        QCoreApplication::processEvents();
    }
}

QImage grabScreen() {
    const auto grab = [] {
        waitForXIdle();
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_RGB32);
    };
    QImage last = grab();
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QThread::msleep(40);
        QImage next = grab();
        if (next == last || timer.elapsed() > 2000) return next;
        last = std::move(next);
    }
}

namespace {
bool runXdotool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    // Keep serving the X connection while xdotool types.
    waitUntil([&] { return xdotool.state() == QProcess::NotRunning; });
    const bool ok = xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    waitForXIdle();
    return ok;
}
}  // namespace

bool sendKeys(const QStringList& keys, int delayMs) {
    return runXdotool(
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QString::number(delayMs)} + keys);
}

bool clickAt(QPoint point) {
    return runXdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                       QStringLiteral("click"), QStringLiteral("1")});
}

bool dragFrom(QPoint from, QPoint to) {
    QStringList arguments;
    const auto moveTo = [&](QPoint p) {
        arguments << QStringLiteral("mousemove") << QString::number(p.x()) << QString::number(p.y());
    };
    const QStringList pause{QStringLiteral("sleep"), QStringLiteral("0.1")};
    moveTo(from);
    arguments << QStringLiteral("mousedown") << QStringLiteral("1") << pause;
    moveTo((from + to) / 2);
    arguments << pause;
    moveTo(to);
    arguments << pause << QStringLiteral("mouseup") << QStringLiteral("1");
    return runXdotool(arguments);
}

Backdrop::Backdrop() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor Backdrop::colorAt(int x, int y) { return QColor(test_pictures::rampColor(x, y)); }

namespace {
const QImage& backdropPicture() {
    static const QImage picture = test_pictures::ramps(QGuiApplication::primaryScreen()->geometry().size());
    return picture;
}
}  // namespace

bool Backdrop::showPainted() {
    show();
    if (!waitUntil([&] { return m_painted; }, 10000)) return false;
    // The picture becomes the window's background too, so the X server itself repaints what a
    // capture uncovers, even while this process waits for the program (for its clipboard, say).
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto window = xcb_window_t(winId());
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> g(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &free);
    const QImage& picture = backdropPicture();
    if (g && g->depth == 24 && picture.size() == size()) {
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, 24, pixmap, window, uint16_t(picture.width()), uint16_t(picture.height()));
        const xcb_gcontext_t gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, pixmap, 0, nullptr);
        constexpr int kRows = 64;  // within the request size of a server without big requests
        for (int y = 0; y < picture.height(); y += kRows) {
            const int rows = std::min(kRows, picture.height() - y);
            xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(picture.width()), uint16_t(rows),
                          0, int16_t(y), 0, 24, uint32_t(picture.bytesPerLine() * rows),
                          picture.constScanLine(y));
        }
        xcb_change_window_attributes(c, window, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_free_gc(c, gc);
        xcb_free_pixmap(c, pixmap);
    }
    waitForXIdle();
    return true;
}

void Backdrop::paintEvent(QPaintEvent* event) {
    QPainter(this).drawImage(event->rect(), backdropPicture(), event->rect());
    m_painted = true;
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

std::uint32_t OtherClient::keyboardTopLevel() {
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&free)> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr), &free);
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
        focus->focus == m_root)
        return 0;
    return topLevelOf(focus->focus);
}

bool OtherClient::waitForKeyboard(const QString& title, int timeoutMs) {
    return waitUntil(
        [&] {
            for (std::uint32_t window : findWindows(title))
                if (hasKeyboard(window)) return true;
            return false;
        },
        timeoutMs);
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
    // F1..F35, by name.
    const std::string name(keysymName);
    if (name.size() < 2 || name[0] != 'F') return false;
    const uint32_t wanted = 0xffbe + std::stoul(name.substr(1)) - 1;
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

std::vector<std::uint32_t> OtherClient::clientStackingOrder() {
    if (!managerRuns()) return stackingOrder();
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> list(
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, m_root, atom("_NET_CLIENT_LIST_STACKING"),
                                                XCB_ATOM_WINDOW, 0, 1024),
                               nullptr),
        &free);
    if (!list || list->type != XCB_ATOM_WINDOW) return {};
    const auto* first = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    return {first, first + list->value_len};
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

std::uint32_t OtherClient::atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, strlen(name), name), nullptr),
        &free);
    return reply ? reply->atom : 0;
}

std::vector<std::uint32_t> OtherClient::children(std::uint32_t window) {
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr), &free);
    if (!tree) return {};
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    return {first, first + xcb_query_tree_children_length(tree.get())};
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
    // A window manager puts each window into a frame of its own, one or two levels down; the
    // frames have no title, and a titled window's children are its own.
    std::function<void(std::uint32_t, int)> search = [&](std::uint32_t parent, int depth) {
        for (std::uint32_t w : children(parent)) {
            if (!viewable(w)) continue;
            const QString title = windowName(w);
            if (title == name)
                found.push_back(w);
            else if (title.isEmpty() && depth < 3)
                search(w, depth + 1);
        }
    };
    search(m_root, 1);
    return found;
}

std::vector<std::uint32_t> OtherClient::popups() {
    std::vector<std::uint32_t> found;
    for (std::uint32_t w : stackingOrder()) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, w),
                                            nullptr),
            &free);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && attributes->override_redirect)
            found.push_back(w);
    }
    return found;
}

std::uint32_t OtherClient::topLevelOf(std::uint32_t window) {
    for (;;) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr), &free);
        if (!tree || tree->parent == m_root || tree->parent == XCB_NONE) return window;
        window = tree->parent;
    }
}

QRect OtherClient::rootGeometryOf(std::uint32_t window) {
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&free)> at(
        xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr),
        &free);
    const QRect local = geometryOf(window);
    return at ? QRect(at->dst_x, at->dst_y, local.width(), local.height()) : QRect();
}

std::uint32_t OtherClient::wmState(std::uint32_t window) {
    const std::uint32_t wmStateAtom = atom("WM_STATE");
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, wmStateAtom, wmStateAtom, 0, 2), nullptr),
        &free);
    if (!reply || reply->value_len < 1) return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

QStringList OtherClient::atomNames(std::uint32_t window, const char* property) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, atom(property), XCB_ATOM_ATOM, 0, 64),
            nullptr),
        &free);
    QStringList names;
    if (!reply) return names;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    for (std::uint32_t i = 0; i < reply->value_len; ++i) {
        std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&free)> name(
            xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atoms[i]), nullptr), &free);
        if (name)
            names << QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                         xcb_get_atom_name_name_length(name.get()));
    }
    return names;
}

std::uint32_t OtherClient::transientFor(std::uint32_t window) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1),
            nullptr),
        &free);
    if (!reply || reply->value_len < 1) return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

bool OtherClient::managerRuns() {
    const std::uint32_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const auto checkWindowOf = [&](std::uint32_t window) -> std::uint32_t {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, check, XCB_ATOM_WINDOW, 0, 1),
                                   nullptr),
            &free);
        if (!reply || reply->value_len < 1) return 0;
        return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    };
    const std::uint32_t own = checkWindowOf(m_root);
    if (own == 0 || checkWindowOf(own) != own) return false;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> list(
        xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 0),
            nullptr),
        &free);
    return list && list->type == XCB_ATOM_WINDOW;
}

void OtherClient::deleteRootProperty(const char* name) {
    xcb_delete_property(m_connection, m_root, atom(name));
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

void OtherClient::activate(std::uint32_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;  // a request from a pager or taskbar
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

QRect OtherClient::geometryOf(std::uint32_t window) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> g(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &free);
    return g ? QRect(g->x, g->y, g->width, g->height) : QRect();
}

struct WindowManager::Process {
    QTemporaryDir home;
    QProcess process;
};

WindowManager::WindowManager(const QString& program, const QStringList& arguments)
    : m_process(std::make_unique<Process>()) {
    // The client list a manager that ran before left behind must not count as this one's.
    OtherClient x;
    x.deleteRootProperty("_NET_CLIENT_LIST");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_process->home.path());
    m_process->process.setProcessEnvironment(environment);
    m_process->process.start(program, arguments);
    if (!m_process->process.waitForStarted()) return;
    // A manager may let through a window mapped early in its start without taking it on: it runs
    // once a window of ours comes up managed.
    OtherClient probe;
    m_running = waitUntil([&] { return x.managerRuns(); }) && waitUntil([&] {
                    probe.showWindow({0, 0, 8, 8});
                    return waitUntil([&] { return probe.wmState(probe.window()) == 1; }, 300);
                });
}

WindowManager::~WindowManager() {
    m_process->process.terminate();
    m_process->process.waitForFinished(5000);
}

bool Desktop::start(bool managed) {
    if (managed && !m_manager) {
        m_manager = std::make_unique<Openbox>();
        if (!m_manager->running()) return false;
    }
    return backdrop.isVisible() || backdrop.showPainted();
}

bool Desktop::startUnderFluxbox() {
    if (!m_manager) m_manager = std::make_unique<Fluxbox>();
    return m_manager->running() && start(true);
}
