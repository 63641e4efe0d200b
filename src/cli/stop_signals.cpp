#include "cli/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace tolvana {

namespace {

// What a signal handler may touch: a lock-free flag and a pipe.
std::atomic<bool> g_stop{false};
int g_pipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    g_stop.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
}

} // namespace

StopSignals::StopSignals() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: a second signal ends the program the usual way, should
    // the clean end ever hang. SA_RESTART: reads and writes go on.
    action.sa_flags = static_cast<int>(SA_RESETHAND | SA_RESTART);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

const std::atomic<bool>& StopSignals::requested() const {
    return g_stop;
}

int StopSignals::notifier() const {
    return g_pipe[0];
}

} // namespace tolvana
