// Runs test signals through the dispatcher with only the ZVEI chains on, the
// way live capture and recordings feed them, and keeps what came out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/signal.h"

namespace tolvana::test {

/// The recording clock of the tests: 7 December 2026, 15:52:00 UTC.
inline constexpr TimePoint kStart{std::chrono::milliseconds{1796658720000}};

class ZveiRig {
public:
    explicit ZveiRig(bool left = true, bool right = true, std::uint64_t seed = 1)
        : m_dispatcher(sink, switches(left, right), seed) {}

    /// Feeds both channels block by block (the shorter one padded with
    /// silence, then `tail` seconds of silence on both), continuing the clock
    /// from the previous feed.
    void feed(const Signal& left, const Signal& right, double tail = 0.3);
    void feedLeft(const Signal& left, double tail = 0.3) { feed(left, Signal{}, tail); }
    void feedRight(const Signal& right, double tail = 0.3) { feed(Signal{}, right, tail); }

    /// Call numbers handed on by one side, in order.
    std::vector<std::string> calls(ChannelSide side) const;
    /// Call numbers of both sides in order, each prefixed "L:" or "R:".
    std::vector<std::string> allCalls() const;
    /// Seconds from the start of the recording to each hand-off, in order.
    std::vector<double> callTimes() const;
    /// Blocks after which the side's sequence mark was set.
    int sequenceMarks(ChannelSide side) const { return m_marks[static_cast<std::size_t>(sideIndex(side))]; }
    /// Seconds fed so far.
    double seconds() const { return static_cast<double>(m_frames) / kSampleRate; }

    Dispatcher& dispatcher() { return m_dispatcher; }

    CollectingSink sink;

private:
    static DecoderSwitches switches(bool left, bool right) {
        DecoderSwitches s;
        s.zvei = {left, right};
        return s;
    }

    Dispatcher m_dispatcher;
    std::uint64_t m_frames = 0;
    std::array<int, 2> m_marks{};
};

} // namespace tolvana::test
