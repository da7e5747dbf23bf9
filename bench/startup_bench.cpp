// Start-up time of Kadrel against a minimal Qt Widgets program: the wall time
// from spawning the program to the X server mapping its first top-level window.
//
// Each repetition is one start. The two benchmarks' repetitions are interleaved
// at random (unless the command line says otherwise), so slow drifts of the
// machine fall on both alike, and the medians give the ratio printed at the end.
//
// Programs: KADREL_EXE (default ../bin/kadrel beside this benchmark) and
// MINIMAL_QT_EXE (default minimal_window beside this benchmark). Their output
// goes to /dev/null unless STARTUP_BENCH_SHOW_OUTPUT is set. DISPLAY must name
// an X server without other programs mapping windows; bench/run_startup.sh
// provides a private one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Generous: a start that takes this long is broken, not slow.
constexpr auto kMapTimeout = std::chrono::seconds(30);
// Time a program gets to end after SIGTERM before it is killed outright.
constexpr auto kExitTimeout = std::chrono::seconds(5);

// Process group of the running child, read by the signal handler so that an
// interrupted benchmark leaves no program behind.
std::atomic<pid_t> g_child_group{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

extern "C" void KillChildAndDie(int sig) {
    const pid_t group = g_child_group.load();
    if (group > 0) kill(-group, SIGKILL);
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = KillChildAndDie;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(sig, &action, nullptr);
}

std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
               ")";
    }
    return "status " + std::to_string(status);
}

// A spawned program in a process group of its own. Destroying the object ends
// the whole group and reaps the program, so no run leaves a process or zombie.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Stop(); }

    bool Spawn(const std::string& path, std::string* error) {
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        // Own group, so that Stop reaches helpers the program may start; default
        // handlers and an open mask, whatever this process has set up.
        posix_spawnattr_setflags(&attr,
                                 POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawnattr_setpgroup(&attr, 0);
        sigset_t mask;
        sigemptyset(&mask);
        posix_spawnattr_setsigmask(&attr, &mask);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&defaults, sig);
        posix_spawnattr_setsigdefault(&attr, &defaults);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (std::getenv("STARTUP_BENCH_SHOW_OUTPUT") == nullptr) {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }

        std::string arg0 = path;
        char* argv[] = {arg0.data(), nullptr};
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) {
            *error = "cannot start " + path + ": " + std::strerror(rc);
            return false;
        }
        pid_ = pid;
        reaped_ = false;
        g_child_group.store(pid);
        return true;
    }

    pid_t pid() const { return pid_; }

    // True once the program has ended on its own; reaps it.
    bool HasExited() {
        if (pid_ <= 0 || reaped_) return reaped_;
        const pid_t r = waitpid(pid_, &status_, WNOHANG);
        if (r == pid_) Reaped();
        return reaped_;
    }

    int status() const { return status_; }

    // SIGTERM to the group, SIGKILL if the program lingers; always reaps it.
    void Stop() {
        if (pid_ <= 0 || reaped_) return;
        kill(-pid_, SIGTERM);
        const auto deadline = Clock::now() + kExitTimeout;
        for (;;) {
            const pid_t r = waitpid(pid_, &status_, WNOHANG);
            if (r == pid_ || (r < 0 && errno != EINTR)) break;
            if (Clock::now() >= deadline) {
                kill(-pid_, SIGKILL);
                while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
                }
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Reaped();
    }

private:
    void Reaped() {
        reaped_ = true;
        g_child_group.store(0);
    }

    pid_t pid_ = 0;
    bool reaped_ = false;
    int status_ = 0;
};

// Process group of a running process, or -1.
pid_t ProcessGroupOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses; the fields after the
    // last ')' are: state, ppid, pgrp.
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    char state = 0;
    int ppid = 0;
    int pgrp = -1;
    if (std::sscanf(text.c_str() + close + 1, " %c %d %d", &state, &ppid, &pgrp) != 3) return -1;
    return pgrp;
}

// Watches the root window of the X display for top-level windows being mapped.
class MapWatcher {
public:
    enum class Result { kMapped, kExited, kTimeout, kDisplayLost };

    MapWatcher() = default;
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;
    ~MapWatcher() {
        if (conn_ != nullptr) xcb_disconnect(conn_);
    }

    bool Open(std::string* error) {
        int screen_number = 0;
        conn_ = xcb_connect(nullptr, &screen_number);
        if (xcb_connection_has_error(conn_)) {
            const char* display = std::getenv("DISPLAY");
            *error = std::string("cannot open the X display ") + (display ? display : "(DISPLAY not set)");
            return false;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
        for (int i = 0; i < screen_number && it.rem > 0; ++i) xcb_screen_next(&it);
        if (it.rem == 0) {
            *error = "the X display has no screen " + std::to_string(screen_number);
            return false;
        }
        root_ = it.data->root;

        // MapNotify of every child of the root, that is of every top-level
        // window while no window manager reparents them.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_generic_error_t* failure = xcb_request_check(
            conn_, xcb_change_window_attributes_checked(conn_, root_, XCB_CW_EVENT_MASK, &mask));
        if (failure != nullptr) {
            *error = "cannot watch the root window (X error " + std::to_string(failure->error_code) + ")";
            std::free(failure);
            return false;
        }

        static constexpr char kPidAtom[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, sizeof kPidAtom - 1, kPidAtom), nullptr);
        if (atom != nullptr) {
            net_wm_pid_ = atom->atom;
            std::free(atom);
        }
        return true;
    }

    // Discards the events of earlier runs (unmaps, destroys, late maps), so that
    // the next wait sees only what follows.
    void Drain() {
        std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) std::free(event);
    }

    // Waits until the child maps a top-level window that is not override-redirect;
    // *mapped_at is when the event was read.
    Result WaitForMap(ChildProcess& child, Clock::time_point deadline, Clock::time_point* mapped_at) {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
                const auto now = Clock::now();
                std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owner(event, &std::free);
                if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if (map->override_redirect) continue;
                if (!BelongsTo(map->window, child.pid())) continue;
                *mapped_at = now;
                return Result::kMapped;
            }
            if (xcb_connection_has_error(conn_)) return Result::kDisplayLost;
            if (child.HasExited()) return Result::kExited;
            const auto now = Clock::now();
            if (now >= deadline) return Result::kTimeout;
            // Short slices only so that a program that dies is noticed soon; an
            // arriving event ends the wait at once.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::clamp<long long>(left, 1, 20)));
        }
    }

private:
    // Whether the window is the child's, by its _NET_WM_PID (Qt sets it on every
    // top-level window). A window that no longer exists is an earlier run's; one
    // without the property is taken, as nothing tells otherwise.
    bool BelongsTo(xcb_window_t window, pid_t child) {
        if (net_wm_pid_ == XCB_ATOM_NONE) return true;
        xcb_generic_error_t* failure = nullptr;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, window, net_wm_pid_, XCB_ATOM_CARDINAL, 0, 1), &failure);
        std::free(failure);
        if (reply == nullptr) return false;
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> owner(reply, &std::free);
        if (reply->type != XCB_ATOM_CARDINAL || reply->format != 32 ||
            xcb_get_property_value_length(reply) < 4) {
            return true;
        }
        const auto pid = static_cast<pid_t>(*static_cast<const uint32_t*>(xcb_get_property_value(reply)));
        return pid == child || ProcessGroupOf(pid) == child;
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t net_wm_pid_ = XCB_ATOM_NONE;
};

MapWatcher* g_watcher = nullptr;

// The shared objects (libraries and plugins) mapped into process pid.
int CountSharedObjects(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::vector<std::string> paths;
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        if (path.find(".so") != std::string::npos &&
            std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    }
    return static_cast<int>(paths.size());
}

// Starts the program once and returns the seconds until its first window was
// mapped, and when asked the shared objects mapped at that moment; the program
// is ended before returning.
bool TimeOneStart(const std::string& path, double* seconds, std::string* error,
                  int* sharedObjects = nullptr) {
    g_watcher->Drain();
    ChildProcess child;
    const auto start = Clock::now();
    if (!child.Spawn(path, error)) return false;
    Clock::time_point mapped_at;
    switch (g_watcher->WaitForMap(child, start + kMapTimeout, &mapped_at)) {
        case MapWatcher::Result::kMapped:
            *seconds = std::chrono::duration<double>(mapped_at - start).count();
            if (sharedObjects != nullptr) *sharedObjects = CountSharedObjects(child.pid());
            return true;
        case MapWatcher::Result::kExited:
            *error = path + " ended before mapping a window (" + DescribeStatus(child.status()) +
                     "; set STARTUP_BENCH_SHOW_OUTPUT=1 to see its output)";
            return false;
        case MapWatcher::Result::kTimeout:
            *error = path + " mapped no window within " + std::to_string(kMapTimeout.count()) + " s";
            return false;
        case MapWatcher::Result::kDisplayLost:
            *error = "lost the connection to the X display";
            return false;
    }
    return false;
}

struct Target {
    std::string path;
    std::vector<double> seconds;  // one entry per measured start
    std::string error;            // the first failure; later repetitions repeat it
};

Target g_kadrel;
Target g_minimal;

void MeasureStartup(benchmark::State& state, Target& target) {
    for (auto _ : state) {
        // A program that failed once is not started again: each further attempt
        // could cost the whole map timeout.
        double seconds = 0;
        if (!target.error.empty() || !TimeOneStart(target.path, &seconds, &target.error)) {
            state.SkipWithError(target.error.c_str());
            break;
        }
        state.SetIterationTime(seconds);
        target.seconds.push_back(seconds);
    }
}

void BM_StartupKadrel(benchmark::State& state) { MeasureStartup(state, g_kadrel); }
void BM_StartupMinimalQt(benchmark::State& state) { MeasureStartup(state, g_minimal); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string OwnDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    const std::string path(buffer.data(), static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string ProgramFromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    InstallSignalHandlers();

    const std::string own_dir = OwnDirectory();
    g_kadrel.path = ProgramFromEnvironment("KADREL_EXE", own_dir + "/../bin/kadrel");
    g_minimal.path = ProgramFromEnvironment("MINIMAL_QT_EXE", own_dir + "/minimal_window");

    // Our defaults come first, so the same flags given on the command line win.
    std::string repetitions = "--benchmark_repetitions=15";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args{argv[0], repetitions.data(), interleave.data()};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int arg_count = static_cast<int>(args.size());
    benchmark::Initialize(&arg_count, args.data());
    if (benchmark::ReportUnrecognizedArguments(arg_count, args.data())) return 1;

    MapWatcher watcher;
    std::string error;
    if (!watcher.Open(&error)) {
        std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
        return 1;
    }
    g_watcher = &watcher;

    std::printf("kadrel:     %s\nminimal Qt: %s\n", g_kadrel.path.c_str(), g_minimal.path.c_str());
    // One unmeasured start each, so the first measured one does not pay alone
    // for loading the libraries from disk. A failure here fails that benchmark.
    int sharedObjects[2] = {0, 0};
    for (Target* target : {&g_kadrel, &g_minimal}) {
        double ignored = 0;
        if (!TimeOneStart(target->path, &ignored, &target->error, &sharedObjects[target == &g_minimal])) {
            std::fprintf(stderr, "startup_bench: %s\n", target->error.c_str());
        }
    }
    std::printf("shared objects mapped when the window appears: kadrel %d, minimal Qt %d\n", sharedObjects[0],
                sharedObjects[1]);
    std::fflush(stdout);

    for (auto [name, function] : {std::pair{"BM_StartupKadrel", &BM_StartupKadrel},
                                  std::pair{"BM_StartupMinimalQt", &BM_StartupMinimalQt}}) {
        benchmark::RegisterBenchmark(name, function)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->DisplayAggregatesOnly(true);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const bool both = !g_kadrel.seconds.empty() && !g_minimal.seconds.empty();
    if (both) {
        const double kadrel = Median(g_kadrel.seconds);
        const double minimal = Median(g_minimal.seconds);
        std::printf("median start-up: kadrel %.1f ms (%zu starts), minimal Qt %.1f ms (%zu starts)\n",
                    kadrel * 1e3, g_kadrel.seconds.size(), minimal * 1e3, g_minimal.seconds.size());
        std::printf("startup ratio kadrel/minimal: %.3f\n", kadrel / minimal);
    } else {
        std::printf("startup ratio kadrel/minimal: n/a (a benchmark was filtered out or failed)\n");
    }
    return g_kadrel.error.empty() && g_minimal.error.empty() ? 0 : 1;
}
