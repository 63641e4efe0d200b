// What the integration tests share: a recording held in memory that reads
// like a sound file, and a sink that turns what the six chains deliver into
// the lines tolvana-decode prints, so a whole recording can be compared with
// the receptions its generator put into it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "capture/audio_source.h"
#include "capture/dispatcher.h"
#include "capture/recording.h"
#include "decoders/common/reception_sink.h"
#include "support/signal.h"

namespace tolvana::test {

/// Interleaved 22050 Hz stereo PCM in memory, read as the sound card would
/// deliver it.
class MemorySource final : public AudioSource {
public:
    explicit MemorySource(std::vector<std::int16_t> interleaved) : m_pcm(std::move(interleaved)) {}
    std::size_t readFrames(std::span<std::int16_t> out) override;
    std::string describe() const override { return "memory, 22050 Hz, 2 channels"; }
    const std::string& readError() const override { return m_error; }

private:
    std::vector<std::int16_t> m_pcm;
    std::size_t m_next = 0; // next value to read
    std::string m_error;
};

/// One reception as tolvana-decode would print it.
struct Heard {
    ChannelSide side = ChannelSide::Left;
    std::string line; ///< export line, or "Tonruf I" / "Tonruf II"
    std::string text; ///< FMS follow-up text (the other texts are in the line)
    TimePoint time;
};

/// Keeps every reception the hand-off would pass on when no filter and no
/// duplicate applies: plausible FMS telegrams, call tones, five-tone calls
/// and pager messages. Implausible FMS telegrams are only counted.
class LineSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) override;
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) override;
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override;

    /// "L\t##FMS#...#+" lines of one side, in order.
    std::vector<std::string> printed(ChannelSide side) const;
    /// Lines of one side without the side letter, in order.
    std::vector<std::string> lines(ChannelSide side) const;

    std::vector<Heard> heard;
    int implausibleFms = 0;
};

/// A moment on the recording clock of every test: 7 December 2026, 15:52:00 UTC.
inline constexpr TimePoint kRecordingStart{std::chrono::milliseconds(1796658720000)};

/// Decodes interleaved stereo PCM like tolvana-decode does (buffers of 1024
/// frames on the recording clock, one second of silence after the end).
/// `afterBuffer` sees the dispatcher after every buffer.
void decodePcm(std::vector<std::int16_t> interleaved, Dispatcher& dispatcher,
               const std::function<void(Dispatcher&, std::uint64_t buffer)>& afterBuffer = {});

/// decodePcm into a fresh LineSink with the given chains.
LineSink decodeStereo(const Signal& left, const Signal& right,
                      const DecoderSwitches& switches = DecoderSwitches::all());

/// Switches for one side only, e.g. sideOnly(ChannelSide::Left, true, false, true).
DecoderSwitches sideOnly(ChannelSide side, bool fms, bool zvei, bool pocsag);

} // namespace tolvana::test
