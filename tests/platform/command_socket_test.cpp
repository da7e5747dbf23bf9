// The socket through which a later start hands a command to the running copy.
#include "platform/system/command_socket.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTest>
#include <cstddef>
#include <cstring>
#include <future>

#include "fakes/small_disk.h"

namespace {

// A name of the test's own, so that no running copy of the program is reached.
QByteArray testName(const char* what) {
    return "kadrel-test-" + QByteArray::number(::getpid()) + '-' + QByteArray(what);
}

// Waits, keeping the listener's event loop going, for what another thread or process does.
template <typename T>
T whileListening(std::future<T> done) {
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
    return done.get();
}

CommandDelivery deliver(const QByteArray& name, const QByteArray& line) {
    return whileListening(std::async(std::launch::async, [&] { return sendCommandLine(name, line, 10000); }));
}

// Child bodies, run as the user nobody: a command sent to the name given, 0 when it is taken; a
// listener that takes the name before the user's copy does, until one connection comes.
int sendAsOtherUser(const QString& name) {
    return sendCommandLine(name.toLatin1(), "stop", 10000) == CommandDelivery::Taken ? 0 : 1;
}
int listenAsOtherUser(const QString& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = name.toLatin1();
    std::memcpy(address.sun_path + 1, bytes.constData(), std::size_t(bytes.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address),
               socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(bytes.size()))) != 0 ||
        ::listen(fd, 1) != 0)
        return 1;
    pollfd waiting{fd, POLLIN, 0};
    return ::poll(&waiting, 1, 20000) == 1 ? 0 : 1;
}

}  // namespace

TEST(CommandSocket, TheFirstListenerAnswersEachLineAndLaterOnesStandAside) {
    const QByteArray name = testName("lines");
    QByteArrayList heard;
    const auto handler = [&heard](const QByteArray& line) {
        heard << line;
        return line == "start" || line == "stop";
    };

    EXPECT_EQ(deliver(name, "start"), CommandDelivery::NoListener);
    {
        CommandListener first(handler);
        ASSERT_TRUE(first.listen(name));
        CommandListener second(handler);
        EXPECT_FALSE(second.listen(name));

        EXPECT_EQ(deliver(name, "start"), CommandDelivery::Taken);
        EXPECT_EQ(deliver(name, "bogus"), CommandDelivery::Refused);
        // Longer than a line may be: dropped unanswered, and never handed on.
        EXPECT_EQ(deliver(name, QByteArray(CommandListener::kMaxLine + 1, 's')), CommandDelivery::Failed);
        EXPECT_EQ(deliver(name, "stop"), CommandDelivery::Taken);
        EXPECT_EQ(heard, QByteArrayList({"start", "bogus", "stop"}));
    }
    // The name went with its listener.
    EXPECT_EQ(deliver(name, "stop"), CommandDelivery::NoListener);
    CommandListener next(handler);
    EXPECT_TRUE(next.listen(name));
    EXPECT_EQ(deliver(name, "stop"), CommandDelivery::Taken);
    EXPECT_NE(commandSocketName(QStringLiteral(":1")), commandSocketName(QStringLiteral(":2")));
}

TEST(CommandSocket, AnotherUsersCommandsAreNotHeard) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const QByteArray name = testName("users");
    bool heard = false;
    CommandListener listener([&heard](const QByteArray&) { return heard = true; });
    ASSERT_TRUE(listener.listen(name));
    EXPECT_EQ(
        whileListening(std::async(std::launch::async,
                                  [&] { return runAsNobody(sendAsOtherUser, QString::fromLatin1(name)); })),
        1);
    EXPECT_FALSE(heard);

    // A name another user took first is no way in: the command is not sent there.
    const QByteArray squatted = testName("squatted");
    std::future<int> squatter = std::async(
        std::launch::async, [&] { return runAsNobody(listenAsOtherUser, QString::fromLatin1(squatted)); });
    CommandDelivery delivery = CommandDelivery::NoListener;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (delivery = sendCommandLine(squatted, "stop", 10000)) != CommandDelivery::NoListener; },
        20000));
    EXPECT_EQ(delivery, CommandDelivery::Failed);
    EXPECT_EQ(whileListening(std::move(squatter)), 0);
}
