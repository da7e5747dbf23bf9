#include "fakes/test_watchdog.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// When the process last began or ended a test; trivially destroyed, so the watching thread may
// read it while the process exits.
std::atomic<Clock::rep> g_since{Clock::now().time_since_epoch().count()};
void mark() { g_since = Clock::now().time_since_epoch().count(); }

// Straight to the descriptor: a stuck thread may hold the lock of stdio's buffers.
void say(const std::string& text) { [[maybe_unused]] const ssize_t n = ::write(2, text.data(), text.size()); }

// The stacks of every thread of this process, written by gdb in a child that may take 30 s at most.
void printStacks() {
    const std::string pid = std::to_string(::getpid());
    // Where Yama allows tracing descendants only, the child must be let in.
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string command = "timeout -s KILL 30 gdb -nx -batch -iex 'set debuginfod enabled off' -p " +
                                pid + " -ex 'thread apply all bt'";
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(2, 1);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        say("watchdog: gdb gave no stacks\n");
}

[[noreturn]] void watch(std::chrono::seconds limit) {
    for (;; std::this_thread::sleep_for(std::chrono::seconds(1))) {
        if (Clock::now() - Clock::time_point(Clock::duration(g_since.load())) < limit) continue;
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        const std::string stuck =
            test ? std::string("the test ") + test->test_suite_name() + '.' + test->name()
                 : std::string("the process outside its tests (its start or its end)");
        say("\nwatchdog: " + stuck + " has not ended in " + std::to_string(limit.count()) +
            " s; the stacks of the process's threads:\n");
        printStacks();
        say("watchdog: " + stuck + " hung; the process ends\n");
        std::_Exit(3);
    }
}

class PhaseListener final : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { mark(); }
    void OnTestEnd(const testing::TestInfo&) override { mark(); }
};

}  // namespace

void startTestWatchdog() {
    const char* text = std::getenv("KADREL_TEST_WATCHDOG_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    testing::UnitTest::GetInstance()->listeners().Append(new PhaseListener);
    std::thread(watch, std::chrono::seconds(seconds > 0 ? seconds : 75)).detach();
}
