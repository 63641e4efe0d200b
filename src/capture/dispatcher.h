// The one place where a captured buffer becomes decoder work: channel split,
// level meters, and the fixed order and mutual exclusions of the six decoder
// chains. Live capture, recordings, tests and benchmarks all come through here.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "capture/reception_queue.h"
#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"
#include "decoders/fms/fms_decoder.h"
#include "decoders/pocsag/pocsag_decoder.h"
#include "decoders/zvei/zvei_decoder.h"

namespace tolvana {

/// Which chains run on which side. Indexed by sideIndex().
struct DecoderSwitches {
    std::array<bool, 2> fms{false, false};
    std::array<bool, 2> zvei{false, false};
    std::array<bool, 2> pocsag{false, false};

    static DecoderSwitches all() {
        DecoderSwitches s;
        s.fms = s.zvei = s.pocsag = {true, true};
        return s;
    }
    bool operator==(const DecoderSwitches&) const = default;
};

/// The four level meters after a buffer: mean and peak of the absolute sample
/// values per channel, both limited to 32760 (the meters' full scale).
struct LevelMeters {
    int meanLeft = 0;
    int peakLeft = 0;
    int meanRight = 0;
    int peakRight = 0;
    bool operator==(const LevelMeters&) const = default;
};

/// One channel's half of the meters.
struct ChannelLevel {
    int mean = 0;
    int peak = 0;
    bool operator==(const ChannelLevel&) const = default;
};

inline constexpr int kMeterLimit = 32760;
/// Interleaved 16-bit values of one captured buffer (left even, right odd).
inline constexpr int kBufferValues = 2 * kBlockFrames;

class Dispatcher {
public:
    /// `seed` drives the six chains' dither sources (each gets its own stream).
    Dispatcher(ReceptionSink& sink, const DecoderSwitches& switches, std::uint64_t seed = 1);

    // The chains keep a pointer to the sink; a dispatcher is not moved around.
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    /// One captured buffer: 1024 interleaved stereo frames.
    LevelMeters dispatchBuffer(std::span<const std::int16_t, kBufferValues> interleaved,
                               TimePoint now);
    /// The same after the split into the two channels.
    LevelMeters dispatchBlock(std::span<const std::int16_t, kBlockFrames> left,
                              std::span<const std::int16_t, kBlockFrames> right, TimePoint now);

    /// One side's share of a buffer: its chains' blocks, its level and its
    /// chains, from `samples[0]`, `samples[stride]`, ... (1024 values). A
    /// buffer is exactly dispatchSide(left) followed by dispatchSide(right):
    /// the sides share nothing but the sink. So the two sides may run on two
    /// threads when each has a `queue`: the side's receptions are then
    /// appended there, tagged with `tag`, instead of reaching the sink, and
    /// the caller hands them on in order.
    ChannelLevel dispatchSide(ChannelSide side, const std::int16_t* samples, std::size_t stride,
                              TimePoint now, ReceptionQueue* queue = nullptr, std::uint32_t tag = 0);

    /// Where the receptions go.
    ReceptionSink& sink() const noexcept { return m_sink; }
    const DecoderSwitches& switches() const noexcept { return m_switches; }
    void setSwitches(const DecoderSwitches& switches) noexcept { m_switches = switches; }

    FmsDecoder& fms(ChannelSide side) noexcept { return m_fms[index(side)]; }
    ZveiDecoder& zvei(ChannelSide side) noexcept { return m_zvei[index(side)]; }
    PocsagDecoder& pocsag(ChannelSide side) noexcept { return m_pocsag[index(side)]; }

private:
    static std::size_t index(ChannelSide side) noexcept {
        return static_cast<std::size_t>(sideIndex(side));
    }
    // The FMS and five-tone front ends of one side, run already: the FMS
    // chain's own front has moved on, the five-tone front's new state is
    // this copy, to be kept only if that chain runs.
    struct FrontsDone {
        const CrossingList& fms;
        const CrossingFront& zveiFront;
        const CrossingList& zvei;
    };
    LevelMeters dispatchBoth(const std::int16_t* left, const std::int16_t* right, std::size_t stride,
                             TimePoint now);
    ChannelLevel fillSide(std::size_t i, const std::int16_t* samples, std::size_t stride);
    /// Whether this buffer runs the side's FMS and five-tone front ends
    /// together (the first case of runChains).
    bool frontsPaired(std::size_t i) const noexcept;
    void runChains(ChannelSide side, TimePoint now, const FrontsDone* done = nullptr);

    // What the chains of one side report to: the sink, or a queue while the
    // side is decoded apart (see dispatchSide).
    class SideSink final : public ReceptionSink {
    public:
        explicit SideSink(ReceptionSink& sink) noexcept : m_sink(&sink) {}
        void divert(ReceptionQueue* queue, std::uint32_t tag) noexcept {
            m_queue = queue;
            m_tag = tag;
        }
        void fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) override;
        void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override;
        void zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) override;
        void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override;

    private:
        ReceptionSink* m_sink;
        ReceptionQueue* m_queue = nullptr;
        std::uint32_t m_tag = 0;
    };

    ReceptionSink& m_sink;
    DecoderSwitches m_switches;
    std::array<SideSink, 2> m_sinks; // before the chains, which point at them
    std::array<FmsDecoder, 2> m_fms;
    std::array<ZveiDecoder, 2> m_zvei;
    std::array<PocsagDecoder, 2> m_pocsag;
};

} // namespace tolvana
