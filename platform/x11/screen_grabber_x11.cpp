#include "platform/x11/screen_grabber.h"

// The X11 side: MIT-SHM grabs of the root window through Qt's own xcb connection, with
// xcb_get_image as the fallback where shared memory is unavailable (a remote display, no extension).
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "platform/portal/screen_cast.h"
#include "platform/system/desktop_session.h"
#include "platform/x11/portal_grab.h"
#include "platform/x11/xcb_support_x11.h"

namespace {

constexpr QRgb kOpaque = 0xff000000u;
// Segments that images may hold at once before grabs fall back to the copy: room for a consumer a few
// frames behind, small against the system's shared-memory limits (8 MB each at 1080p).
constexpr std::size_t kMaxSegments = 4;
// Pixels read twice when a segment is new, to see that the server really fills our memory.
constexpr int kProbePixels = 8;
constexpr std::uint32_t kCanary = 0x5a3cc3a5u;

// Qt keeps a screen's top-left corner in device pixels and scales only its size, so the device
// rectangle is the logical origin with the size times the ratio.
QRect primaryDeviceRect() {
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen) return {};
    const QRect g = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return {g.topLeft(), QSize(qRound(g.width() * ratio), qRound(g.height() * ratio))};
}

// The whole X screen, every monitor, in device pixels: what a portal's picture covers.
QRect desktopDeviceRect() {
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen) return {};
    const QRect g = screen->virtualGeometry();
    const qreal ratio = screen->devicePixelRatio();
    return {g.topLeft(), QSize(qRound(g.width() * ratio), qRound(g.height() * ratio))};
}

// X requests carry 16-bit coordinates and sizes.
bool fitsRequest(const QRect& r) {
    constexpr int kMin = std::numeric_limits<std::int16_t>::min();
    constexpr int kMax = std::numeric_limits<std::int16_t>::max();
    return r.x() >= kMin && r.x() <= kMax && r.y() >= kMin && r.y() <= kMax && r.width() > 0 &&
           r.width() <= 0xffff && r.height() > 0 && r.height() <= 0xffff;
}

// How the root window's pixels are laid out in a ZPixmap image.
struct PixelLayout {
    xcb_window_t root = XCB_NONE;
    int bitsPerPixel = 0;
    int scanlinePad = 32;
    bool lsbFirst = true;
    bool trueColor = false;
    std::uint32_t masks[3] = {};  // red, green, blue

    // 32-bit pixels that read as 0x??RRGGBB words in this process: Format_RGB32 but for the pad byte.
    bool isRgb32() const {
        return bitsPerPixel == 32 && masks[0] == 0xff0000u && masks[1] == 0xff00u && masks[2] == 0xffu &&
               lsbFirst == (std::endian::native == std::endian::little);
    }
    qsizetype bytesPerLine(int width) const {
        const qsizetype bits = qsizetype(width) * bitsPerPixel;
        return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
    }
};

PixelLayout readLayout(xcb_connection_t* c) {
    PixelLayout layout;
    char* host = nullptr;
    int display = 0;
    int screenNumber = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber)) std::free(host);
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;
    if (!screen) return layout;
    layout.root = screen->root;
    layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth != screen->root_depth) continue;
        layout.bitsPerPixel = f.data->bits_per_pixel;
        layout.scanlinePad = f.data->scanline_pad;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen->root_visual) continue;
            layout.trueColor = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                               v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
            layout.masks[0] = v.data->red_mask;
            layout.masks[1] = v.data->green_mask;
            layout.masks[2] = v.data->blue_mask;
        }
    }
    return layout;
}

// Whether every pixel of the line has 0xff in its pad byte. Two accumulators of four pixels each keep
// the loads from waiting on one another, so this runs at memory speed.
bool isOpaque(const QRgb* line, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(kOpaque));
    __m128i first = opaque;
    __m128i second = opaque;
    for (; x + 8 <= width; x += 8) {
        first = _mm_and_si128(first, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x)));
        second = _mm_and_si128(second, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x + 4)));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(first, second), opaque)) != 0xffff) return false;
#endif
    QRgb all = kOpaque;
    for (; x < width; ++x) all &= line[x];
    return all == kOpaque;
}

// to[x] = from[x] with 0xff in the pad byte; from may be to.
void setOpaque(const QRgb* from, QRgb* to, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(kOpaque));
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_or_si128(pixels, opaque));
    }
#endif
    for (; x < width; ++x) to[x] = from[x] | kOpaque;
}

// X leaves the pad byte of 32-bit pixels as whatever drew them (the root background and windows that
// the server paints have 0, Qt's windows 0xff), while Format_RGB32 promises 0xff. Most rows are already
// right, and reading costs less than writing, so a row is only rewritten when it needs it.
void makeOpaque(uchar* pixels, qsizetype bytesPerLine, QSize size) {
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(pixels + y * bytesPerLine);
        if (!isOpaque(line, size.width())) setOpaque(line, line, size.width());
    }
}

// Any other TrueColor layout (16-bit, 30-bit, 24 bits packed, the other byte order), one pixel at a time.
bool convertSlowly(const uchar* from, qsizetype fromBytesPerLine, const PixelLayout& layout, QImage& to) {
    const int bytes = layout.bitsPerPixel / 8;
    if (!layout.trueColor || layout.bitsPerPixel % 8 != 0 || bytes < 1 || bytes > 4) return false;
    struct Channel {
        int shift;
        std::uint32_t max;
    } channels[3];
    for (int i = 0; i < 3; ++i) {
        if (layout.masks[i] == 0) return false;
        channels[i] = {std::countr_zero(layout.masks[i]),
                       layout.masks[i] >> std::countr_zero(layout.masks[i])};
    }
    for (int y = 0; y < to.height(); ++y) {
        const uchar* p = from + y * fromBytesPerLine;
        auto* line = reinterpret_cast<QRgb*>(to.scanLine(y));
        for (int x = 0; x < to.width(); ++x, p += bytes) {
            std::uint32_t pixel = 0;
            for (int b = 0; b < bytes; ++b)
                pixel |= std::uint32_t(p[layout.lsbFirst ? b : bytes - 1 - b]) << (8 * b);
            int rgb[3];
            for (int i = 0; i < 3; ++i) {
                const std::uint64_t v = (pixel >> channels[i].shift) & channels[i].max;
                rgb[i] = int((v * 255 + channels[i].max / 2) / channels[i].max);
            }
            line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return true;
}

// This process's mapping of a shared segment, unmapped when the last of the grabber and the images over
// it lets go: images may outlive the grabber.
using SharedMapping = std::shared_ptr<uchar>;

// The cleanup of an image over a segment: drops the image's share of the mapping.
void releaseMapping(void* info) { delete static_cast<SharedMapping*>(info); }

// The server's attachment of a segment, given up when the grabber lets the segment go. After the
// application is gone the connection is closed, and the server has dropped the attachment itself.
class ServerAttachment {
public:
    ServerAttachment(xcb_connection_t* c, xcb_shm_seg_t id) : m_connection(c), m_id(id) {}
    ServerAttachment(ServerAttachment&& other) noexcept
        : m_connection(std::exchange(other.m_connection, nullptr)), m_id(other.m_id) {}
    ServerAttachment& operator=(ServerAttachment&& other) noexcept {
        if (this != &other) {
            detach();
            m_connection = std::exchange(other.m_connection, nullptr);
            m_id = other.m_id;
        }
        return *this;
    }
    ~ServerAttachment() { detach(); }
    xcb_shm_seg_t id() const { return m_id; }

private:
    void detach() {
        if (m_connection && qGuiApp) xcb_shm_detach(m_connection, m_id);
        m_connection = nullptr;
    }

    xcb_connection_t* m_connection;
    xcb_shm_seg_t m_id;
};

// Removes a segment id on leaving scope: once both sides are attached, the kernel frees the memory
// when both let go, even if we crash.
struct SegmentIdRemover {
    int id;
    ~SegmentIdRemover() {
        if (id >= 0) shmctl(id, IPC_RMID, nullptr);
    }
};

struct Segment {
    SharedMapping mapping;
    ServerAttachment attachment;  // declared after the mapping: the server lets go first
    QSize size;
    qsizetype bytesPerLine;

    bool idle() const { return mapping.use_count() == 1; }
};

}  // namespace

class ScreenGrabber::Impl {
public:
    explicit Impl(GrabMethod method)
        : m_connection(qtConnection()),
          m_portal(method == GrabMethod::Portal || (method == GrabMethod::Auto && onWaylandDesktop())) {
        if (!m_connection || m_portal) return;
        m_layout = readLayout(m_connection);
        // A request of an extension the server lacks would close Qt's connection, so look first.
        const xcb_query_extension_reply_t* shm = xcb_get_extension_data(m_connection, &xcb_shm_id);
        if (method == GrabMethod::Auto && shm && shm->present && m_layout.isRgb32()) {
            MallocPtr<xcb_shm_query_version_reply_t> version(
                xcb_shm_query_version_reply(m_connection, xcb_shm_query_version(m_connection), nullptr));
            m_shmUsable = version != nullptr;
        }
    }

    ~Impl() {
        m_segments.clear();
        if (qGuiApp && m_connection) xcb_flush(m_connection);
    }

    // area: in device pixels from the primary screen's top-left corner; nothing means the whole screen.
    bool grab(QImage& target, const std::optional<QRect>& area) {
        // Hands the previous grab's segment back unless someone else still holds that image.
        target = QImage();
        const QRect screen = primaryDeviceRect();
        const QRect rect = area ? area->translated(screen.topLeft()) : screen;
        m_failure = Failure::Screen;
        if (!screen.contains(rect)) return false;
        if (m_portal) return portalGrab(target, rect);
        if (!m_connection || m_layout.root == XCB_NONE || !fitsRequest(rect)) return false;
        bool sharedFailed = false;
        if (m_shmUsable) {
            if (Segment* segment = idleSegment(rect)) {
                if (grabShared(*segment, rect, target)) {
                    m_lastShared = true;
                    m_failure = Failure::None;
                    return true;
                }
                sharedFailed = true;
            }
        }
        if (!grabCopy(rect, target)) return false;
        // The copy worked where shared memory did not: stop trying it.
        if (sharedFailed) dropSharedMemory();
        m_lastShared = false;
        m_failure = Failure::None;
        return true;
    }

    bool lastShared() const { return m_lastShared; }
    Failure lastFailure() const { return m_failure; }
    bool portal() const { return m_portal; }

    Failure startStream(QString& restoreToken) {
        if (!m_portal) return Failure::None;
        if (m_portalWaiting) return Failure::Busy;
        m_portalWaiting = true;
        auto cast = std::make_unique<ScreenCast>();
        // By ScreenCast::Outcome: Started, Refused, NoPortal, NoAnswer, NoStream.
        constexpr Failure kFailureOf[] = {Failure::None, Failure::CastRefused, Failure::NoPortal,
                                          Failure::NoAnswer, Failure::NoStream};
        Failure failure = kFailureOf[std::size_t(cast->start(restoreToken, kCastStartTimeoutMs))];
        if (failure == Failure::None && !cast->waitForFirstFrame(kFirstFrameTimeoutMs))
            failure = Failure::NoFrame;
        m_portalWaiting = false;
        if (failure != Failure::None) return failure;
        if (!cast->restoreToken().isEmpty()) restoreToken = cast->restoreToken();
        m_cast = std::move(cast);
        m_castTaken = 0;
        return Failure::None;
    }
    void stopStream() { m_cast.reset(); }
    bool streaming() const { return m_cast != nullptr; }
    quint64 streamFrames() const { return m_cast ? m_cast->delivered() : 0; }

private:
    // The first stream of a desktop waits for its user to choose the monitor.
    static constexpr int kCastStartTimeoutMs = 120000;
    // The desktop sends a frame as the stream starts; one that sends none in this time sends none.
    static constexpr int kFirstFrameTimeoutMs = 5000;

    // The portal's answer is awaited in a local event loop, in which a timer may ask for another grab:
    // that one fails at once rather than stacking a second wait inside the first. While a screen cast
    // runs, the frame after the one taken last is the picture.
    bool portalGrab(QImage& target, const QRect& rect) {
        if (m_cast) {
            if (!m_cast->streamFailed()) {
                // A frame in the X screen's own size gives the rectangle straight away.
                const QRect desktop = desktopDeviceRect();
                ScreenCast::Cut cut = m_cast->cutAfter(m_castTaken, m_castTaken,
                                                       rect.translated(-desktop.topLeft()), desktop.size());
                target = cut.isPart ? std::move(cut.image)
                                    : cutFromDesktopPicture(std::move(cut.image), desktop, rect);
            }
            m_failure = target.isNull() ? Failure::NoFrame : Failure::None;
            m_lastShared = false;
            return !target.isNull();
        }
        if (m_portalWaiting) {
            m_failure = Failure::Busy;
            return false;
        }
        m_portalWaiting = true;
        Failure failure = Failure::Screen;
        target = grabThroughPortal(desktopDeviceRect(), rect, failure);
        m_portalWaiting = false;
        m_failure = failure;
        m_lastShared = false;
        return !target.isNull();
    }

    // A segment for this grab, or null when every segment is held by images and no more may be made.
    Segment* idleSegment(const QRect& rect) {
        // Segments of another size are of no use any more; images still over them keep their mapping.
        std::erase_if(m_segments, [&](const Segment& s) { return s.size != rect.size(); });
        for (Segment& s : m_segments) {
            if (s.idle()) return &s;
        }
        if (m_segments.size() >= kMaxSegments) return nullptr;
        std::optional<Segment> fresh = attachSegment(rect.size());
        const std::optional<bool> fills = fresh ? serverFills(*fresh, rect) : false;
        // An unanswered probe says nothing about shared memory (the screen may be changing): retry later.
        if (!fills) return nullptr;
        if (!*fills) {
            dropSharedMemory();
            return nullptr;
        }
        m_segments.reserve(kMaxSegments);
        m_segments.push_back(std::move(*fresh));
        return &m_segments.back();
    }

    std::optional<Segment> attachSegment(QSize size) const {
        const qsizetype bytesPerLine = m_layout.bytesPerLine(size.width());
        SegmentIdRemover id{shmget(IPC_PRIVATE, std::size_t(bytesPerLine) * size.height(), IPC_CREAT | 0600)};
        if (id.id < 0) return std::nullopt;
        void* address = shmat(id.id, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) return std::nullopt;
        SharedMapping mapping(static_cast<uchar*>(address), [](uchar* p) { shmdt(p); });
        const xcb_shm_seg_t seg = xcb_generate_id(m_connection);
        if (seg == std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
        // Checked, so that a refusal comes back here instead of to Qt's error handler.
        MallocPtr<xcb_generic_error_t> error(
            xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, seg, id.id, 0)));
        if (error) return std::nullopt;
        return Segment{std::move(mapping), ServerAttachment(m_connection, seg), size, bytesPerLine};
    }

    bool shmGetImage(const Segment& segment, const QRect& rect) const {
        MallocPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
            m_connection,
            xcb_shm_get_image(m_connection, m_layout.root, std::int16_t(rect.x()), std::int16_t(rect.y()),
                              std::uint16_t(rect.width()), std::uint16_t(rect.height()), ~0u,
                              XCB_IMAGE_FORMAT_Z_PIXMAP, segment.attachment.id(), 0),
            nullptr));
        return reply && reply->size >= m_layout.bytesPerLine(rect.width()) * rect.height();
    }

    // A server on another machine or in another IPC namespace may accept the id yet fill a segment of
    // its own. Two different canaries that both survive a grab show that our memory is not the one filled.
    std::optional<bool> serverFills(Segment& segment, const QRect& screen) const {
        const QRect probe(screen.topLeft(), QSize(std::min(kProbePixels, screen.width()), 1));
        auto* pixels = reinterpret_cast<std::uint32_t*>(segment.mapping.get());
        bool canariesSurvived = true;
        for (std::uint32_t canary : {kCanary, ~kCanary}) {
            std::fill(pixels, pixels + probe.width(), canary);
            if (!shmGetImage(segment, probe)) return std::nullopt;
            canariesSurvived &=
                std::all_of(pixels, pixels + probe.width(), [&](auto p) { return p == canary; });
        }
        return !canariesSurvived;
    }

    // One request, so that the server copies the screen in one go, as it stands at one moment.
    bool grabShared(const Segment& segment, const QRect& rect, QImage& target) const {
        if (!shmGetImage(segment, rect)) return false;
        uchar* pixels = segment.mapping.get();
        makeOpaque(pixels, segment.bytesPerLine, rect.size());
        auto* share = new SharedMapping(segment.mapping);
        target = QImage(pixels, rect.width(), rect.height(), segment.bytesPerLine, QImage::Format_RGB32,
                        releaseMapping, share);
        if (target.isNull()) delete share;
        return !target.isNull();
    }

    bool grabCopy(const QRect& rect, QImage& target) const {
        MallocPtr<xcb_get_image_reply_t> reply(
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_layout.root,
                                              std::int16_t(rect.x()), std::int16_t(rect.y()),
                                              std::uint16_t(rect.width()), std::uint16_t(rect.height()), ~0u),
                                nullptr));
        const qsizetype bytesPerLine = m_layout.bytesPerLine(rect.width());
        if (!reply || bytesPerLine <= 0 ||
            xcb_get_image_data_length(reply.get()) < bytesPerLine * rect.height())
            return false;
        QImage image(rect.size(), QImage::Format_RGB32);
        if (image.isNull()) return false;
        const uchar* data = xcb_get_image_data(reply.get());
        if (!m_layout.isRgb32()) {
            if (!convertSlowly(data, bytesPerLine, m_layout, image)) return false;
        } else {
            for (int y = 0; y < image.height(); ++y) {
                setOpaque(reinterpret_cast<const QRgb*>(data + y * bytesPerLine),
                          reinterpret_cast<QRgb*>(image.scanLine(y)), image.width());
            }
        }
        target = std::move(image);
        return true;
    }

    void dropSharedMemory() {
        m_shmUsable = false;
        m_segments.clear();
    }

    xcb_connection_t* m_connection;
    bool m_portal;
    std::unique_ptr<ScreenCast> m_cast;
    quint64 m_castTaken = 0;  // the stream's frame the last grab took
    bool m_portalWaiting = false;
    Failure m_failure = Failure::None;
    PixelLayout m_layout;
    bool m_shmUsable = false;
    bool m_lastShared = false;
    std::vector<Segment> m_segments;
};

ScreenGrabber::ScreenGrabber(GrabMethod method) : m_impl(std::make_unique<Impl>(method)) {}

ScreenGrabber::~ScreenGrabber() = default;

QSize ScreenGrabber::screenSize() const { return primaryDeviceRect().size(); }

bool ScreenGrabber::grab(QImage& target) { return m_impl->grab(target, std::nullopt); }

bool ScreenGrabber::grab(QImage& target, const QRect& area) { return m_impl->grab(target, area); }

bool ScreenGrabber::usesSharedMemory() const { return m_impl->lastShared(); }

ScreenGrabber::Failure ScreenGrabber::lastFailure() const { return m_impl->lastFailure(); }

bool ScreenGrabber::usesPortal() const { return m_impl->portal(); }

ScreenGrabber::Failure ScreenGrabber::startStream(QString& restoreToken) {
    return m_impl->startStream(restoreToken);
}

void ScreenGrabber::stopStream() { m_impl->stopStream(); }

bool ScreenGrabber::streaming() const { return m_impl->streaming(); }

quint64 ScreenGrabber::streamFrames() const { return m_impl->streamFrames(); }
