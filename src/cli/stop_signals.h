// SIGINT and SIGTERM end tolvana-decode cleanly: the input is ended as at
// its end, every buffer read is decoded and handed on, the status page is
// written if due, and the program exits with 0. A second signal of the same
// kind ends it at once (the default action is restored by the first).
// SIGPIPE is ignored: a reader of standard output that goes away must not
// take the monitor with it.
#pragma once

#include <atomic>

namespace tolvana {

class StopSignals {
public:
    /// Installs the handlers (once per process).
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// Set by the first SIGINT or SIGTERM.
    const std::atomic<bool>& requested() const;
    /// Becomes readable when a signal came (for an event loop to watch).
    int notifier() const;
};

} // namespace tolvana
