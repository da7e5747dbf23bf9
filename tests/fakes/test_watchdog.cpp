#include "fakes/test_watchdog.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// What the process does now and since when. Never destroyed: the watching thread may still read it
// while the process exits.
struct Phase {
    std::mutex mutex;
    std::string name = "the start, before the first test";
    Clock::time_point since = Clock::now();
};
Phase& phase() {
    static Phase* const current = new Phase;
    return *current;
}

void enter(std::string name) {
    std::lock_guard lock(phase().mutex);
    phase().name = std::move(name);
    phase().since = Clock::now();
}

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
        std::unique_lock lock(phase().mutex);
        if (Clock::now() - phase().since < limit) continue;
        const std::string stuck = phase().name;
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
        enter(std::string("the test ") + test.test_suite_name() + '.' + test.name());
    }
    void OnTestEnd(const testing::TestInfo& test) override {
        enter(std::string("the time after the test ") + test.test_suite_name() + '.' + test.name());
    }
};

}  // namespace

void startTestWatchdog() {
    const char* text = std::getenv("KADREL_TEST_WATCHDOG_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    testing::UnitTest::GetInstance()->listeners().Append(new PhaseListener);
    std::thread(watch, std::chrono::seconds(seconds > 0 ? seconds : 75)).detach();
}
