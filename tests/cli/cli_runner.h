// Runs tolvana-decode as a user would and captures what it prints.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tolvana::test {

struct CliResult {
    int exitCode = -1; ///< exit status, or 128 + signal number when killed
    std::string out;
    std::string err;
    std::vector<std::string> lines() const; ///< standard output split at '\n'
};

/// A tolvana-decode running beside the test, so that the test can serve its
/// TCP and local-socket peers, or kill it, while it decodes.
class DecodeProcess {
public:
    /// Starts tolvana-decode with `args`; `stdinBytes` is its standard input.
    explicit DecodeProcess(const std::vector<std::string>& args, const std::string& stdinBytes = {});
    /// Kills and reaps a child that is still running.
    ~DecodeProcess();
    DecodeProcess(const DecodeProcess&) = delete;
    DecodeProcess& operator=(const DecodeProcess&) = delete;

    /// True until the child has ended (reaps it when it has).
    bool running();
    /// Sends `sig` to the child if it still runs.
    void kill(int sig);
    /// Waits for the end, calling `whileWaiting` about once a millisecond,
    /// and returns what the child printed.
    CliResult finish(const std::function<void()>& whileWaiting = {});

private:
    void cleanUp();

    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
    std::string m_dir; // stdin, stdout, stderr files
};

/// Runs tolvana-decode with `args` to its end; `stdinBytes` is fed to its standard input.
CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes = {});

} // namespace tolvana::test
