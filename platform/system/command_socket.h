// A local socket through which later starts of the program hand a one-line command to the copy
// already running on the same desktop, and hear at once whether it was taken. It lives in the
// abstract namespace: no file to leave behind, and it goes with the process that holds it, a kill
// included. Each end checks that the other runs as the same user.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/system/unique_fd.h"

class QSocketNotifier;

// The socket's name for this user and the desktop named (the X display): copies on other displays are
// on other desktops.
QByteArray commandSocketName(const QString& desktop);

enum class CommandDelivery {
    Taken,       // the running copy took the command
    Refused,     // the running copy does not know it
    NoListener,  // no copy listens there
    Failed,      // no answer in time, or the listener is another user's
};
CommandDelivery sendCommandLine(const QByteArray& name, const QByteArray& line, int timeoutMs);

// The running copy's end. Each connection of the same user sends one line of at most kMaxLine
// bytes; the handler says whether it knows the line, and the answer goes back before anything it
// starts is run. Other users' connections are closed unheard.
class CommandListener : public QObject {
public:
    static constexpr int kMaxLine = 64;
    using Handler = std::function<bool(const QByteArray& line)>;

    explicit CommandListener(Handler handler);
    ~CommandListener() override;

    // False when it cannot listen, above all because another copy listens there already.
    bool listen(const QByteArray& name);

private:
    struct Connection;
    void accept();
    void read(Connection* connection);
    void drop(Connection* connection);

    Handler m_handler;
    UniqueFd m_socket;
    std::unique_ptr<QSocketNotifier> m_acceptNotifier;
    std::vector<std::unique_ptr<Connection>> m_connections;
};
