// Runs tolvana-decode as a user would and captures what it prints.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
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
    explicit DecodeProcess(const std::vector<std::string>& args,
                           const std::string& stdinBytes = {});
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

/// tolvana-decode fed through a pipe as a live source feeds it (the test
/// writes when it likes and pauses), with its standard output in a pipe that
/// the test reads line by line as the lines come (each stamped with the
/// test's own clock), leaves unread, or closes.
class LiveDecode {
public:
    enum class Reader {
        Reads,  ///< every line is read at once
        Stalls, ///< nothing is read until the program has ended
        Closes, ///< the first line is read, then the pipe is closed
    };
    struct Line {
        std::string text;
        std::chrono::steady_clock::time_point at;
    };

    LiveDecode(const std::vector<std::string>& args, Reader reader = Reader::Reads);
    /// Kills and reaps a child that still runs.
    ~LiveDecode();
    LiveDecode(const LiveDecode&) = delete;
    LiveDecode& operator=(const LiveDecode&) = delete;

    /// Writes to the program's standard input (blocks while its pipe is full).
    bool send(const void* data, std::size_t bytes);
    /// Ends its standard input.
    void closeInput();
    void kill(int sig);
    /// Waits until `count` lines have been read, at most `timeout`.
    bool waitForLines(std::size_t count, std::chrono::milliseconds timeout);
    /// The lines read so far.
    std::vector<Line> lines();
    /// Waits for the end, at most `timeout` (then kills it): exit code, or
    /// 128 + signal. With Reader::Stalls the output is read after the end.
    int wait(std::chrono::milliseconds timeout);
    /// Standard error, once the program has ended.
    std::string err() const;
    /// The bytes read from standard output (after wait()).
    std::string out();

private:
    void readOutput();

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    Reader m_reader;
    std::string m_dir;
    bool m_ended = false;
    int m_status = 0;
    std::mutex m_mutex;
    std::string m_bytes;
    std::string m_partial;
    std::vector<Line> m_lines;
    std::thread m_thread;
};

/// Runs tolvana-decode with `args` to its end; `stdinBytes` is fed to its standard input.
CliResult runDecode(const std::vector<std::string>& args, const std::string& stdinBytes = {});

} // namespace tolvana::test
