#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>

#include "platform/system/command_socket.h"

namespace {

// A connection that sends nothing whole in this time is dropped, so none can hold a slot for ever.
constexpr int kLineTimeoutMs = 2000;
// More connections at once than any desktop's shortcuts make; the rest are closed at once.
constexpr std::size_t kMaxConnections = 8;

const QByteArray kTaken = "ok\n";
const QByteArray kRefused = "unknown\n";

struct Address {
    sockaddr_un address{};
    socklen_t size = 0;
};

// The abstract address: a leading NUL, then the name, with no NUL after it.
std::optional<Address> abstractAddress(const QByteArray& name) {
    Address a;
    a.address.sun_family = AF_UNIX;
    if (name.isEmpty() || std::size_t(name.size()) >= sizeof(a.address.sun_path)) return std::nullopt;
    std::memcpy(a.address.sun_path + 1, name.constData(), std::size_t(name.size()));
    a.size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
    return a;
}

bool sameUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

bool sendWhole(int fd, const QByteArray& data) {
    for (qsizetype sent = 0; sent < data.size();) {
        const ssize_t n = ::send(fd, data.constData() + sent, std::size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

}  // namespace

QByteArray commandSocketName(const QString& desktop) {
    QByteArray display = desktop.toUtf8().left(64);
    if (display.isEmpty()) display = "none";
    return "kadrel-command-" + QByteArray::number(::geteuid()) + '-' + display;
}

CommandDelivery sendCommandLine(const QByteArray& name, const QByteArray& line, int timeoutMs) {
    const std::optional<Address> a = abstractAddress(name);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!a || !fd.isOpen()) return CommandDelivery::Failed;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&a->address), a->size) != 0)
        return errno == ECONNREFUSED ? CommandDelivery::NoListener : CommandDelivery::Failed;
    // Anyone may take a name in the abstract namespace: a command goes only to the user's own copy.
    if (!sameUser(fd.get()) || !sendWhole(fd.get(), line + '\n')) return CommandDelivery::Failed;
    QByteArray answer;
    char buffer[16];
    while (!answer.contains('\n')) {
        pollfd waiting{fd.get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return CommandDelivery::Failed;
        const ssize_t got = ::read(fd.get(), buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return CommandDelivery::Failed;
        answer.append(buffer, got);
        if (answer.size() > 16) return CommandDelivery::Failed;
    }
    if (answer == kTaken) return CommandDelivery::Taken;
    return answer == kRefused ? CommandDelivery::Refused : CommandDelivery::Failed;
}

struct CommandListener::Connection {
    UniqueFd fd;
    QByteArray line;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer timeout;
};

CommandListener::CommandListener(Handler handler) : m_handler(std::move(handler)) {}

CommandListener::~CommandListener() = default;

bool CommandListener::listen(const QByteArray& name) {
    const std::optional<Address> a = abstractAddress(name);
    if (!a) return false;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // bind fails with EADDRINUSE while another copy listens: the first copy keeps the name.
    if (!fd.isOpen() || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a->address), a->size) != 0 ||
        ::listen(fd.get(), int(kMaxConnections)) != 0)
        return false;
    m_socket = std::move(fd);
    m_acceptNotifier = std::make_unique<QSocketNotifier>(m_socket.get(), QSocketNotifier::Read);
    connect(m_acceptNotifier.get(), &QSocketNotifier::activated, this, &CommandListener::accept);
    return true;
}

void CommandListener::accept() {
    UniqueFd fd(::accept4(m_socket.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd.isOpen() || !sameUser(fd.get()) || m_connections.size() >= kMaxConnections) return;
    auto connection = std::make_unique<Connection>();
    Connection* c = connection.get();
    c->fd = std::move(fd);
    c->notifier = std::make_unique<QSocketNotifier>(c->fd.get(), QSocketNotifier::Read);
    connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, c] { read(c); });
    c->timeout.setSingleShot(true);
    connect(&c->timeout, &QTimer::timeout, this, [this, c] { drop(c); });
    c->timeout.start(kLineTimeoutMs);
    m_connections.push_back(std::move(connection));
}

void CommandListener::read(Connection* c) {
    char buffer[kMaxLine + 1];
    const ssize_t got = ::read(c->fd.get(), buffer, std::size_t(kMaxLine + 1 - c->line.size()));
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) return drop(c);
    c->line.append(buffer, got);
    const qsizetype end = c->line.indexOf('\n');
    if (end < 0) {
        if (c->line.size() > kMaxLine) drop(c);
        return;
    }
    const QByteArray& answer = m_handler(c->line.left(end)) ? kTaken : kRefused;
    // The sender waits for the answer; one that went away meanwhile needs none.
    (void)sendWhole(c->fd.get(), answer);
    drop(c);
}

void CommandListener::drop(Connection* c) {
    // Later: the notifier or timer that called may still be on the stack.
    c->notifier->setEnabled(false);
    c->timeout.stop();
    QTimer::singleShot(0, this, [this, c] {
        std::erase_if(m_connections,
                      [c](const std::unique_ptr<Connection>& held) { return held.get() == c; });
    });
}
