// tolvana-decode reading raw PCM from standard input while the test writes
// it, as from an SDR pipeline: the test decides when each transmission
// arrives, can wait for what it causes, and can end the input normally or
// break it in the middle. Standard input is one end of a stream socket whose
// other end the test holds.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_runner.h"

namespace tolvana::test {

class StreamedDecode {
public:
    /// Starts tolvana-decode with `args` (which end in "-").
    explicit StreamedDecode(const std::vector<std::string>& args);
    /// Kills and reaps a decoder that still runs.
    ~StreamedDecode();
    StreamedDecode(const StreamedDecode&) = delete;
    StreamedDecode& operator=(const StreamedDecode&) = delete;

    /// Writes 16-bit samples as raw little-endian PCM; false when the
    /// decoder no longer reads.
    bool feed(const std::vector<std::int16_t>& samples);
    /// Ends the input as a file ends.
    void endInput();
    /// Breaks the input: once the decoder has read what was sent, its next
    /// read fails ("Connection reset by peer").
    void breakInput();

    pid_t pid() const { return m_pid; }
    bool running();
    /// What the decoder has printed so far.
    std::string out() const;
    std::string err() const;
    /// Waits for the end and returns what it printed.
    CliResult finish();

private:
    pid_t m_pid = -1;
    int m_ours = -1;   // the test's end: what is written here, the decoder reads
    int m_theirs = -1; // a copy of the decoder's end, to break the input with
    int m_status = 0;
    bool m_ended = false;
    std::string m_dir;
};

/// Splits printed output into lines.
std::vector<std::string> linesOf(const std::string& text);

} // namespace tolvana::test
