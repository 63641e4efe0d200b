// Standard-output contract of tolvana-decode, which other tools and checks
// rely on: per reception handed on one line "L" or "R", TAB, the export line;
// per call tone "L"/"R", TAB, "Tonruf I"/"Tonruf II". With --json one JSON
// object per line instead, carrying every field. Every line is written out
// as soon as it is printed.
//
// Standard output is one output among others: logs, status files, exports
// and actions never wait for it. Lines go through a bounded queue to a
// writer thread. A reader that stops reading fills the queue and further
// lines are dropped (counted, and reported on standard error when it
// catches up or the program ends); a reader that goes away (broken pipe) is
// reported once and standard output is given up, while decoding goes on.
#pragma once

#include "decoders/common/types.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace tolvana {

/// Bytes of lines that may wait for a slow reader (several thousand lines).
inline constexpr std::size_t kOutputQueueBytes = 1 << 20;
/// How long a line is waited for before the output counts as stalled: in
/// the normal case each line is out before the hand-off goes on, so a
/// decoder that is killed takes no printed line with it.
inline constexpr std::chrono::milliseconds kOutputLineWait{50};

class OutputWriter {
public:
    /// Writes to the descriptor `fd` (not closed) from a thread of its own.
    explicit OutputWriter(int fd, std::size_t maxQueuedBytes = kOutputQueueBytes);
    /// finish() with no time to wait, if it was not called.
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    /// Queues `line` and a line end. Never blocks for longer than
    /// kOutputLineWait, and not at all while the reader is known to stall.
    void writeLine(const std::string& line);

    /// Waits at most `timeout` for the queue to be written out, then ends
    /// the writer; reports lines that could not be written. Returns whether
    /// every line was written.
    bool finish(std::chrono::milliseconds timeout);

    std::uint64_t linesWritten() const;
    std::uint64_t linesDropped() const;
    bool broken() const;

    struct Shared; // the queue, shared with the writer thread

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

class ReceptionPrinter {
public:
    ReceptionPrinter(OutputWriter& out, bool json) : m_out(out), m_json(json) {}

    void fms(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
             const std::string& rufname, TimePoint time);
    void tone(ChannelSide side, ToneCall tone, TimePoint time);
    void zvei(ChannelSide side, const std::string& number, const std::string& name, TimePoint time);
    void pocsag(ChannelSide side, const PocsagPage& page, const std::string& name, TimePoint time);

private:
    void write(const std::string& line) { m_out.writeLine(line); }

    OutputWriter& m_out;
    bool m_json;
};

} // namespace tolvana
