// POCSAG decoder chain of one channel side: the demodulator (audio to
// batches of codewords) and the message decoder (batches to one page per
// address), run once per captured buffer.
//
//   audio -> dither -> slicer -> clock tracker -> bit converter -> sync search
//         -> codeword collector -> batch -> address / message steps
//         -> at the end of the transmission: one PocsagPage per address to
//            the sink, in the order sent
//
// Frame and codeword layouts are drawn in pocsag_demodulator.h and
// pocsag_message_decoder.h.
#pragma once

#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"
#include "decoders/pocsag/pocsag_demodulator.h"
#include "decoders/pocsag/pocsag_message_decoder.h"

namespace tolvana {

class PocsagDecoder {
public:
    PocsagDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    /// The chain's input block; the dispatcher writes it while POCSAG is on.
    ChannelBlock& block() noexcept { return m_block; }
    /// Runs all stages once on the block (one captured buffer). At the end of
    /// a transmission, the page of each address goes to the sink, in the
    /// order sent.
    void run(TimePoint now);
    /// Set while the receiver is synchronised (searching the next sync
    /// codeword or collecting codewords); the channel's FMS and ZVEI chains
    /// wait meanwhile.
    bool busy() const noexcept { return m_busy; }

    PocsagReceiver receiver() const noexcept { return m_demodulator.receiver(); }
    const PocsagDemodulator& demodulator() const noexcept { return m_demodulator; }
    const PocsagCodewordCounts& codewordCounts() const noexcept { return m_messages.counts(); }

private:
    // Pages held before a transmission that is still going on hands them on.
    static constexpr std::size_t kHandOnEarly = 32;

    void handOn(TimePoint now);

    ChannelSide m_side;
    ReceptionSink* m_sink;
    PocsagDemodulator m_demodulator;
    PocsagMessageDecoder m_messages;
    ChannelBlock m_block{};
    bool m_busy = false;
};

} // namespace tolvana
