#include "platform/portal/screen_cast.h"

#include <fcntl.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>
#include <atomic>
#include <mutex>
#include <optional>

#include "platform/portal/cast_frame.h"
#include "platform/portal/portal_request.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

constexpr uint kMonitor = 1;
constexpr uint kCursorHidden = 1;
constexpr uint kPersistUntilRevoked = 2;

int remaining(const QDeadlineTimer& deadline) { return int(qMax<qint64>(0, deadline.remainingTime())); }

// A plain method call (no Request object) that waits in a local event loop like callPortal does.
QDBusMessage callAndWait(const QDBusMessage& call, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || timeoutMs <= 0) return {};
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, timeoutMs));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return watcher.reply();
}

QVariant portalProperty(const QString& name, int timeoutMs) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kScreenCast, name});
    const QDBusMessage reply = callAndWait(get, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// The first stream's PipeWire node of Start's results (a(ua{sv})), or 0.
uint firstNode(const QVariant& streams) {
    if (!streams.canConvert<QDBusArgument>()) return 0;
    const QDBusArgument argument = streams.value<QDBusArgument>();
    uint node = 0;
    argument.beginArray();
    if (!argument.atEnd()) {
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
    }
    return node;
}

std::once_flag g_pipewireInit;

struct LoopDeleter {
    void operator()(pw_thread_loop* loop) const {
        pw_thread_loop_stop(loop);
        pw_thread_loop_destroy(loop);
    }
};
struct ContextDeleter {
    void operator()(pw_context* context) const { pw_context_destroy(context); }
};
struct CoreDeleter {
    void operator()(pw_core* core) const { pw_core_disconnect(core); }
};
struct StreamDeleter {
    void operator()(pw_stream* stream) const { pw_stream_destroy(stream); }
};

}  // namespace

// The portal session on the GUI thread: its object path, and what wakes the waits there. The stream's
// thread posts its news to it; the portal's Closed signal comes to it.
class ScreenCast::Session : public QObject {
    Q_OBJECT
public:
    QString path;
    std::atomic<bool> closedByDesktop{false};
    QEventLoop* waiting = nullptr;

    ~Session() override { close(); }

    void listenForClosed() {
        QDBusConnection::sessionBus().connect(kService, path, kSession, QStringLiteral("Closed"), this,
                                              SLOT(onClosed()));
    }

    // Session.Close without waiting for its answer: nothing follows from it.
    void close() {
        if (path.isEmpty()) return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.disconnect(kService, path, kSession, QStringLiteral("Closed"), this, SLOT(onClosed()));
        if (!closedByDesktop)
            bus.send(QDBusMessage::createMethodCall(kService, path, kSession, QStringLiteral("Close")));
        path.clear();
    }

    void wake() {
        if (waiting) waiting->quit();
    }

public slots:
    void onClosed() {
        closedByDesktop = true;
        wake();
    }
};

// A buffer the desktop filled, held until two newer ones came: a tick copies from it only the part it
// needs, instead of every frame being copied whole as it arrives.
struct HeldBuffer {
    pw_buffer* buffer = nullptr;
    const uchar* bits = nullptr;  // the chunk's first byte
    qsizetype bytes = 0;          // readable from bits
    qsizetype stride = 0;
    CastPixelOrder order = CastPixelOrder::BGRx;
    QRect region;  // the picture within the chunk
    // A mapping of our own where PipeWire left a descriptor unmapped.
    void* mapped = MAP_FAILED;
    size_t mappedSize = 0;

    // The part of the picture (in its own pixels), or the whole picture for a null part.
    QImage copy(const QRect& part = {}) const {
        QImage image;
        copyCastFrame(bits, bytes, stride, order, part.isNull() ? region : part.translated(region.topLeft()),
                      image);
        return image;
    }
    void unmap() {
        if (mapped != MAP_FAILED) munmap(mapped, mappedSize);
        mapped = MAP_FAILED;
    }
};

// The PipeWire side: a thread loop of its own with its context, the connection to the portal's
// remote and the stream. What the stream's callbacks touch is shared with other threads only under
// the loop's lock.
struct ScreenCast::Stream {
    // Destroyed in the reverse order: the stream before its core, the core before its context, the
    // context before the loop; the destructor stops the loop first, so no callback runs meanwhile.
    std::unique_ptr<pw_thread_loop, LoopDeleter> loop;
    std::unique_ptr<pw_context, ContextDeleter> context;
    std::unique_ptr<pw_core, CoreDeleter> core;
    spa_hook coreListener{};
    spa_hook streamListener{};
    std::unique_ptr<pw_stream, StreamDeleter> stream;

    Session* session = nullptr;  // woken through queued calls; outlives this

    spa_video_info_raw format{};
    RecentFrames<HeldBuffer> frames;
    // The newest frame, copied whole where no buffer is held: after the desktop took its buffers back
    // (a new format), or with a pool too small to hold two and still leave the desktop one.
    QImage copied;
    int buffers = 0;  // in the pool

    std::atomic<bool> negotiated{false};
    std::atomic<bool> failed{false};

    ~Stream() {
        if (!loop) return;
        pw_thread_loop_stop(loop.get());
        if (stream) spa_hook_remove(&streamListener);
        // The stream frees its buffers; mappings of our own are ours to end.
        for (HeldBuffer& held : frames.takeAll()) held.unmap();
        stream.reset();
        if (core) spa_hook_remove(&coreListener);
        core.reset();
        context.reset();
        loop.reset();
    }

    void post() {
        Session* target = session;
        QMetaObject::invokeMethod(
            target, [target] { target->wake(); }, Qt::QueuedConnection);
    }

    void fail() {
        failed = true;
        post();
    }

    bool open(int fd, uint node);
    static pw_core_events coreEvents();
    static pw_stream_events streamEvents();
    void onParamChanged(uint32_t id, const spa_pod* param);
    void onProcess();
    std::optional<HeldBuffer> hold(pw_buffer* buffer);
    void onRemoveBuffer(pw_buffer* buffer);
    // Lets every held buffer go, the newest kept as a copy; the one being removed is not given back.
    void letGoOfAll(pw_buffer* removed = nullptr);
    // A picture for a tick (see ScreenCast::cutAfter); under the loop's lock.
    ScreenCast::Cut cut(quint64 taken, quint64& serial, const QRect& part, QSize whole) const;
};

pw_core_events ScreenCast::Stream::coreEvents() {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = [](void* data, uint32_t id, int, int, const char*) {
        // An error of the core itself is a lost connection: the remote went away.
        if (id == PW_ID_CORE) static_cast<Stream*>(data)->fail();
    };
    return events;
}

pw_stream_events ScreenCast::Stream::streamEvents() {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = [](void* data, pw_stream_state, pw_stream_state state, const char*) {
        auto* self = static_cast<Stream*>(data);
        if (state == PW_STREAM_STATE_ERROR || (state == PW_STREAM_STATE_UNCONNECTED && self->negotiated))
            self->fail();
    };
    events.param_changed = [](void* data, uint32_t id, const spa_pod* param) {
        static_cast<Stream*>(data)->onParamChanged(id, param);
    };
    events.process = [](void* data) { static_cast<Stream*>(data)->onProcess(); };
    events.add_buffer = [](void* data, pw_buffer*) { ++static_cast<Stream*>(data)->buffers; };
    events.remove_buffer = [](void* data, pw_buffer* buffer) {
        auto* self = static_cast<Stream*>(data);
        --self->buffers;
        self->onRemoveBuffer(buffer);
    };
    return events;
}

bool ScreenCast::Stream::open(int fd, uint node) {
    // PipeWire keeps pointers to the event tables for as long as the listeners live.
    static const pw_core_events kCoreEvents = coreEvents();
    static const pw_stream_events kStreamEvents = streamEvents();
    std::call_once(g_pipewireInit, [] { pw_init(nullptr, nullptr); });
    loop.reset(pw_thread_loop_new("kadrel-cast", nullptr));
    if (!loop) {
        ::close(fd);
        return false;
    }
    context.reset(pw_context_new(pw_thread_loop_get_loop(loop.get()), nullptr, 0));
    if (!context || pw_thread_loop_start(loop.get()) < 0) {
        ::close(fd);
        return false;
    }
    pw_thread_loop_lock(loop.get());
    // The core owns the descriptor from here on, also when it fails.
    core.reset(pw_context_connect_fd(context.get(), fd, nullptr, 0));
    if (core) {
        pw_core_add_listener(core.get(), &coreListener, &kCoreEvents, this);
        stream.reset(pw_stream_new(core.get(), "kadrel-screen",
                                   pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                     "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
    }
    bool connected = false;
    if (stream) {
        pw_stream_add_listener(stream.get(), &streamListener, &kStreamEvents, this);
        uint8_t storage[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
        spa_rectangle size = SPA_RECTANGLE(1920, 1080), minSize = SPA_RECTANGLE(1, 1),
                      maxSize = SPA_RECTANGLE(16384, 16384);
        spa_fraction rate = SPA_FRACTION(30, 1), minRate = SPA_FRACTION(0, 1),
                     maxRate = SPA_FRACTION(1000, 1);
        const spa_pod* params[1];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
            SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                                   SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)));
        // Without a target the session manager would link the stream to another source: never that.
        connected =
            pw_stream_connect(stream.get(), PW_DIRECTION_INPUT, node,
                              pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                              PW_STREAM_FLAG_DONT_RECONNECT),
                              params, 1) == 0;
    }
    pw_thread_loop_unlock(loop.get());
    return connected;
}

void ScreenCast::Stream::onParamChanged(uint32_t id, const spa_pod* param) {
    if (id != SPA_PARAM_Format || !param) return;
    uint32_t mediaType = 0, mediaSubtype = 0;
    spa_video_info_raw info{};
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
        mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0 ||
        info.size.width == 0 || info.size.height == 0) {
        fail();
        return;
    }
    format = info;
    // Memory this process can read, never DmaBuf; enough buffers that the two held leave the desktop
    // room to draw; the crop region and the header's flags when the desktop gives them.
    uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
    const spa_pod* params[3];
    params[0] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                                   SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(8, 4, 16),
                                   SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_dataType,
                                   SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_VideoCrop), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
        SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    pw_stream_update_params(stream.get(), params, 3);
    negotiated = true;
    post();
}

void ScreenCast::Stream::onProcess() {
    // Every frame counts, in order: the recording may still take the one before the newest.
    bool delivered = false;
    while (pw_buffer* next = pw_stream_dequeue_buffer(stream.get())) {
        std::optional<HeldBuffer> held = hold(next);
        if (!held) {
            pw_stream_queue_buffer(stream.get(), next);
            continue;
        }
        delivered = true;
        if (std::optional<HeldBuffer> out = frames.push(*held)) {
            out->unmap();
            pw_stream_queue_buffer(stream.get(), out->buffer);
        }
        if (buffers < 4) letGoOfAll();
    }
    if (delivered) post();
}

std::optional<HeldBuffer> ScreenCast::Stream::hold(pw_buffer* pwBuffer) {
    spa_buffer* buffer = pwBuffer->buffer;
    HeldBuffer held;
    held.buffer = pwBuffer;
    switch (format.format) {
        case SPA_VIDEO_FORMAT_BGRx:
            held.order = CastPixelOrder::BGRx;
            break;
        case SPA_VIDEO_FORMAT_BGRA:
            held.order = CastPixelOrder::BGRA;
            break;
        case SPA_VIDEO_FORMAT_RGBx:
            held.order = CastPixelOrder::RGBx;
            break;
        case SPA_VIDEO_FORMAT_RGBA:
            held.order = CastPixelOrder::RGBA;
            break;
        default:
            return std::nullopt;
    }
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED)) return std::nullopt;
    if (buffer->n_datas < 1) return std::nullopt;
    const spa_data& data = buffer->datas[0];
    // A buffer without pixels (only the cursor or metadata changed) leaves the last frame as it is.
    if (!data.chunk || data.chunk->size == 0 || (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return std::nullopt;

    const uchar* bits = static_cast<const uchar*>(data.data);
    if (!bits && data.type == SPA_DATA_MemFd && data.fd >= 0) {
        // PipeWire maps what it can; a descriptor it left is mapped while the buffer is held.
        held.mappedSize = size_t(data.mapoffset) + data.maxsize;
        held.mapped = mmap(nullptr, held.mappedSize, PROT_READ, MAP_PRIVATE, int(data.fd), 0);
        if (held.mapped == MAP_FAILED) return std::nullopt;
        bits = static_cast<const uchar*>(held.mapped) + data.mapoffset;
    }
    if (!bits) return std::nullopt;
    const uint32_t offset = qMin(data.chunk->offset, data.maxsize);
    held.bits = bits + offset;
    held.bytes = qsizetype(data.maxsize - offset);
    held.stride = data.chunk->stride > 0 ? data.chunk->stride : qsizetype(format.size.width) * 4;
    held.region = QRect(0, 0, int(format.size.width), int(format.size.height));
    const auto* crop = static_cast<const spa_meta_region*>(
        spa_buffer_find_meta_data(buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)));
    if (crop && crop->region.size.width > 0 && crop->region.size.height > 0) {
        const QRect cropped(crop->region.position.x, crop->region.position.y, int(crop->region.size.width),
                            int(crop->region.size.height));
        if (held.region.contains(cropped)) held.region = cropped;
    }
    // A picture that the buffer does not hold is never handed on.
    if (!castRegionFits(held.bytes, held.stride, held.region)) {
        held.unmap();
        return std::nullopt;
    }
    return held;
}

void ScreenCast::Stream::onRemoveBuffer(pw_buffer* buffer) {
    // The desktop takes its buffers back (a new format, or the end).
    for (const HeldBuffer* held : frames.kept())
        if (held && held->buffer == buffer) return letGoOfAll(buffer);
}

void ScreenCast::Stream::letGoOfAll(pw_buffer* removed) {
    if (const HeldBuffer* newest = frames.newest()) copied = newest->copy();
    for (HeldBuffer& held : frames.takeAll()) {
        held.unmap();
        if (held.buffer != removed) pw_stream_queue_buffer(stream.get(), held.buffer);
    }
}

ScreenCast::Cut ScreenCast::Stream::cut(quint64 taken, quint64& serial, const QRect& part,
                                        QSize whole) const {
    const HeldBuffer* held = frames.after(taken, serial);
    if (!held) return {copied, false};
    if (held->region.size() == whole && QRect(QPoint(), whole).contains(part))
        return {held->copy(part), true};
    return {held->copy(), false};
}

ScreenCast::ScreenCast() = default;

ScreenCast::~ScreenCast() { stop(); }

ScreenCast::Outcome ScreenCast::start(const QString& restoreToken, int timeoutMs) {
    stop();
    const QDeadlineTimer deadline(timeoutMs);
    const uint version = portalProperty(QStringLiteral("version"), remaining(deadline)).toUInt();
    if (version == 0) return deadline.hasExpired() ? Outcome::NoAnswer : Outcome::NoPortal;
    const uint cursorModes =
        portalProperty(QStringLiteral("AvailableCursorModes"), remaining(deadline)).toUInt();

    const auto failed = [&](const PortalAnswer& answer) -> std::optional<Outcome> {
        if (answer.status == PortalAnswer::Status::NoPortal) return Outcome::NoPortal;
        if (answer.status == PortalAnswer::Status::NoAnswer) return Outcome::NoAnswer;
        if (answer.response != 0) return Outcome::Refused;
        return std::nullopt;
    };
    static unsigned counter = 0;
    const PortalAnswer created = callPortal(kScreenCast, QStringLiteral("CreateSession"), {},
                                            {{QStringLiteral("session_handle_token"),
                                              QStringLiteral("kadrel%1_%2").arg(::getpid()).arg(++counter)}},
                                            remaining(deadline));
    if (auto outcome = failed(created)) return *outcome;
    const QVariant handle = created.results.value(QStringLiteral("session_handle"));
    session_ = std::make_unique<Session>();
    session_->path =
        handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
    if (session_->path.isEmpty()) {
        session_.reset();
        return Outcome::NoPortal;
    }
    session_->listenForClosed();
    const QDBusObjectPath sessionPath(session_->path);
    const auto giveUp = [&](Outcome outcome) {
        stop();
        return outcome;
    };

    QVariantMap options{{QStringLiteral("types"), kMonitor}, {QStringLiteral("multiple"), false}};
    if (version >= 2 && (cursorModes & kCursorHidden))
        options.insert(QStringLiteral("cursor_mode"), kCursorHidden);
    if (version >= 4) {
        options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
        if (!restoreToken.isEmpty()) options.insert(QStringLiteral("restore_token"), restoreToken);
    }
    const PortalAnswer selected =
        callPortal(kScreenCast, QStringLiteral("SelectSources"), {QVariant::fromValue(sessionPath)}, options,
                   remaining(deadline));
    if (auto outcome = failed(selected)) return giveUp(*outcome);
    const PortalAnswer started =
        callPortal(kScreenCast, QStringLiteral("Start"), {QVariant::fromValue(sessionPath), QString()}, {},
                   remaining(deadline));
    if (auto outcome = failed(started)) return giveUp(*outcome);
    const uint node = firstNode(started.results.value(QStringLiteral("streams")));
    if (node == 0) return giveUp(Outcome::NoStream);
    restoreToken_ = started.results.value(QStringLiteral("restore_token")).toString();

    QDBusMessage open =
        QDBusMessage::createMethodCall(kService, kPath, kScreenCast, QStringLiteral("OpenPipeWireRemote"));
    open.setArguments({QVariant::fromValue(sessionPath), QVariantMap()});
    const QDBusMessage remote = callAndWait(open, remaining(deadline));
    if (remote.type() != QDBusMessage::ReplyMessage || remote.arguments().isEmpty())
        return giveUp(deadline.hasExpired() ? Outcome::NoAnswer : Outcome::NoStream);
    const QDBusUnixFileDescriptor descriptor =
        remote.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    // Ours to hand to PipeWire; the message keeps its own until it goes.
    const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
    if (fd < 0) return giveUp(Outcome::NoStream);

    stream_ = std::make_unique<Stream>();
    stream_->session = session_.get();
    if (!stream_->open(fd, node)) return giveUp(Outcome::NoStream);
    // Started once the format is agreed; the first frame may come later.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    session_->waiting = &loop;
    timer.start(remaining(deadline));
    while (!stream_->negotiated && !stream_->failed && !session_->closedByDesktop && timer.isActive())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    session_->waiting = nullptr;
    if (!stream_->negotiated || stream_->failed || session_->closedByDesktop)
        return giveUp(Outcome::NoStream);
    return Outcome::Started;
}

QString ScreenCast::restoreToken() const { return restoreToken_; }

QImage ScreenCast::latestFrame(quint64* serial) const {
    if (!stream_) {
        if (serial) *serial = keptSerial_;
        return keptFrame_;
    }
    pw_thread_loop_lock(stream_->loop.get());
    const HeldBuffer* newest = stream_->frames.newest();
    QImage frame = newest ? newest->copy() : stream_->copied;
    if (serial) *serial = stream_->frames.delivered();
    pw_thread_loop_unlock(stream_->loop.get());
    return frame;
}

quint64 ScreenCast::delivered() const {
    if (!stream_) return keptSerial_;
    pw_thread_loop_lock(stream_->loop.get());
    const quint64 count = stream_->frames.delivered();
    pw_thread_loop_unlock(stream_->loop.get());
    return count;
}

ScreenCast::Cut ScreenCast::cutAfter(quint64 taken, quint64& serial, const QRect& part, QSize whole) const {
    if (!stream_) {
        serial = keptSerial_;
        return {keptFrame_, false};
    }
    pw_thread_loop_lock(stream_->loop.get());
    Cut cut = stream_->cut(taken, serial, part, whole);
    pw_thread_loop_unlock(stream_->loop.get());
    return cut;
}

bool ScreenCast::streamFailed() const {
    if (!stream_) return keptFailed_;
    return stream_->failed || (session_ && session_->closedByDesktop);
}

bool ScreenCast::waitForFrame(quint64 after, int timeoutMs) {
    quint64 serial = 0;
    const auto done = [&] {
        serial = delivered();
        return serial > after || streamFailed() || !stream_;
    };
    if (done()) return serial > after;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    session_->waiting = &loop;
    timer.start(timeoutMs);
    while (!done() && timer.isActive()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (session_) session_->waiting = nullptr;
    return serial > after;
}

void ScreenCast::stop() {
    if (stream_) {
        keptFrame_ = latestFrame(&keptSerial_);
        keptFailed_ = streamFailed();
        stream_.reset();
    }
    session_.reset();
}

#include "screen_cast.moc"
