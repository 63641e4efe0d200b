// FMS decoder chain of one channel side: the demodulator (samples to sliced
// bits and call tones) and the telegram decoder (bits to telegrams), run once
// per captured buffer. See fms_demodulator.h and fms_telegram.h for the
// signal and the telegram layout.
//
//   block -> band-pass -> zero-crossing estimates -> preamble search
//         -> bit slicer -> telegram / follow-ups -> sink: fmsReception
//                       `-> call-tone runs ---------> sink: toneCall I, II
#pragma once

#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"
#include "decoders/fms/fms_demodulator.h"
#include "decoders/fms/fms_telegram.h"

namespace tolvana {

/// A value type: a copy carries on exactly as the original would (same
/// dither stream, same estimates, same pending follow-ups) and reports to the
/// same sink.
class FmsDecoder {
public:
    FmsDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    /// The chain's input block; the dispatcher writes it while FMS is on.
    ChannelBlock& block() noexcept { return m_block; }
    /// Runs the chain once on the block (one captured buffer).
    void run(TimePoint now);
    /// The same, with the block's crossings found already by front() (which
    /// the caller has run over the block, e.g. with runFronts).
    void run(const CrossingList& crossings, TimePoint now);
    CrossingFront& front() noexcept { return m_demodulator.front(); }
    /// Set while the decoder waits for follow-up telegrams of a digital alarm.
    bool followUpPending() const noexcept { return m_telegrams.followUpPending(); }

    ChannelSide side() const noexcept { return m_side; }
    const FmsDemodulator& demodulator() const noexcept { return m_demodulator; }
    const FmsCounters& counters() const noexcept { return m_telegrams.counters(); }

private:
    void decode(TimePoint now);

    ChannelSide m_side;
    ReceptionSink* m_sink;
    ChannelBlock m_block{};
    FmsDemodulator m_demodulator;
    FmsTelegramDecoder m_telegrams;
    FmsBits m_bits;
};

} // namespace tolvana
