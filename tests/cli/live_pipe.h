// tolvana-decode fed through a pipe at the pace the test chooses, as an SDR
// pipeline or a sound server feeds it: the test writes sound, watches what
// has been printed so far, and can stop the feed, close it or send a signal.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvana::test {

class LivePipeDecode {
public:
    /// Starts tolvana-decode with `args` (which should read "-").
    explicit LivePipeDecode(const std::vector<std::string>& args);
    ~LivePipeDecode();
    LivePipeDecode(const LivePipeDecode&) = delete;
    LivePipeDecode& operator=(const LivePipeDecode&) = delete;

    /// Writes interleaved 16-bit samples; false when the program no longer reads.
    bool feed(const std::int16_t* samples, std::size_t count);
    /// Ends the input (end of file for the program).
    void closeInput();
    void signal(int sig);

    /// What the program has printed so far, line by line (whole lines only).
    std::vector<std::string> printed() const;
    /// Waits (bounded) until at least `count` lines have been printed.
    bool waitForPrinted(std::size_t count, int boundMs = 20000) const;
    std::string errors() const;

    /// Waits (bounded) for the end; the exit status, or 128 + signal, or -1
    /// when it did not end in time (it is then killed).
    int finish(int boundMs = 30000);

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_status = -1;
    std::string m_dir;
};

} // namespace tolvana::test
