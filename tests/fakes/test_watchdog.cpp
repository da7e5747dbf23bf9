#include "fakes/test_watchdog.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// What the process does now and since when.
struct Phase {
    std::mutex mutex;
    std::condition_variable changed;
    std::string name = "the start, before the first test";
    Clock::time_point since = Clock::now();

    void enter(std::string next) {
        {
            std::lock_guard lock(mutex);
            name = std::move(next);
            since = Clock::now();
        }
        changed.notify_all();
    }
};

// Never destroyed: the watching thread may still wait on it while the process exits.
Phase& phase() {
    static Phase* const current = new Phase;
    return *current;
}

void say(const std::string& text) {
    // Straight to the descriptor: a stuck thread may hold the lock of stdio's buffers.
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += size_t(n);
    }
}

// The stacks of every thread of this process, written by gdb in a child.
void printStacks() {
    const std::string pid = std::to_string(::getpid());
    // Where Yama allows tracing descendants only, the child must be let in.
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const char* const argv[] = {"gdb",
                                "-nx",
                                "-batch",
                                "-iex",
                                "set debuginfod enabled off",
                                "-p",
                                pid.c_str(),
                                "-ex",
                                "thread apply all bt",
                                nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    if (child < 0) return say("watchdog: cannot start gdb\n");
    // gdb may stall too on a loaded machine; the process ends all the same.
    const auto giveUp = Clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > giveUp) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return say("watchdog: gdb did not finish\n");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) say("watchdog: gdb is not installed\n");
}

[[noreturn]] void watch(std::chrono::seconds limit) {
    Phase& p = phase();
    std::unique_lock lock(p.mutex);
    for (;;) {
        if (p.changed.wait_until(lock, p.since + limit) == std::cv_status::no_timeout ||
            Clock::now() < p.since + limit)
            continue;
        const std::string stuck = p.name;
        lock.unlock();
        say("\nwatchdog: " + stuck + " has not ended in " + std::to_string(limit.count()) +
            " s; the stacks of the process's threads:\n");
        printStacks();
        say("watchdog: " + stuck + " hung; the process ends\n");
        std::_Exit(3);
    }
}

class PhaseListener final : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& test) override {
        phase().enter(std::string("the test ") + test.test_suite_name() + '.' + test.name());
    }
    void OnTestEnd(const testing::TestInfo& test) override {
        phase().enter(std::string("the time after the test ") + test.test_suite_name() + '.' + test.name());
    }
};

}  // namespace

void startTestWatchdog() {
    const char* text = std::getenv("KADREL_TEST_WATCHDOG_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    testing::UnitTest::GetInstance()->listeners().Append(new PhaseListener);
    std::thread(watch, std::chrono::seconds(seconds > 0 ? seconds : 75)).detach();
}
