// A reception sink for the audio fuzz targets. It keeps a short record of
// everything the decoders report (so two runs can be compared) and stops the
// run with a message when a reception breaks what every decoder promises:
// fields inside their ranges, texts of bounded length, valid UTF-8, and the
// time of the buffer that produced it.
#pragma once

#include "capture/dispatcher.h"
#include "decoders/common/reception_sink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolvana::fuzz {

/// Aborts with `what` when `condition` is false; libFuzzer keeps the input.
void require(bool condition, const char* what);

class CheckingSink final : public ReceptionSink {
public:
    /// The time that every reception of the current buffer must carry.
    void setNow(TimePoint now) { m_now = now; }

    void fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) override;
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) override;
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override;

    /// One line per reception, in order, for comparing two runs.
    const std::vector<std::string>& log() const { return m_log; }

private:
    void record(ChannelSide side, std::string line, TimePoint time);

    TimePoint m_now{};
    std::vector<std::string> m_log;
};

/// Meters stay within 0..kMeterLimit and the peak is never below the mean.
void checkMeters(const LevelMeters& meters);

/// Runs `samples` (interleaved stereo, cut into whole buffers, the last one
/// filled up with silence) through a dispatcher with all six chains on and
/// returns the receptions as CheckingSink::log() lists them.
std::vector<std::string> dispatchAll(const std::vector<std::int16_t>& samples);

/// Runs `samples` (interleaved stereo, cut into whole buffers, the last one
/// filled up with silence) through a dispatcher with all six chains on, twice
/// with the same seed, and requires both runs to report the same receptions:
/// a decoder that reads memory it never wrote, or keeps state outside its
/// members, shows up as a difference.
void dispatchTwiceAndCompare(const std::vector<std::int16_t>& samples);

} // namespace tolvana::fuzz
