// FMS decoder chain of one channel side.
#pragma once

#include "decoders/common/dither.h"
#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"

namespace tolvana {

class FmsDecoder {
public:
    FmsDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    /// The chain's input block; the dispatcher writes it while FMS is on.
    ChannelBlock& block() noexcept { return m_block; }
    /// Runs the chain once on the block (one captured buffer).
    void run(TimePoint now);
    /// Set while the decoder waits for follow-up telegrams of a digital alarm.
    bool followUpPending() const noexcept { return m_followUpPending; }

private:
    ChannelSide m_side;
    ReceptionSink* m_sink;
    Dither m_dither;
    ChannelBlock m_block{};
    bool m_followUpPending = false;
};

} // namespace tolvana
