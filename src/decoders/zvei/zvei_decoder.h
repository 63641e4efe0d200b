// ZVEI five-tone decoder of one channel side.
#pragma once

#include "decoders/common/dither.h"
#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"

namespace tolvana {

class ZveiDecoder {
public:
    ZveiDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    ChannelBlock& block() noexcept { return m_block; }
    void run(TimePoint now);
    /// Non-zero after a five-tone sequence was assembled; the dispatcher clears it.
    int sequenceDone() const noexcept { return m_sequenceDone; }
    void clearSequenceDone() noexcept { m_sequenceDone = 0; }

private:
    ChannelSide m_side;
    ReceptionSink* m_sink;
    Dither m_dither;
    ChannelBlock m_block{};
    int m_sequenceDone = 0;
};

} // namespace tolvana
