// POCSAG decoder (demodulator and message decoder) of one channel side.
#pragma once

#include "decoders/common/dither.h"
#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"

namespace tolvana {

class PocsagDecoder {
public:
    PocsagDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    ChannelBlock& block() noexcept { return m_block; }
    void run(TimePoint now);
    /// Set while the receiver is synchronised (searching or collecting codewords).
    bool busy() const noexcept { return m_busy; }

private:
    ChannelSide m_side;
    ReceptionSink* m_sink;
    Dither m_dither;
    ChannelBlock m_block{};
    bool m_busy = false;
};

} // namespace tolvana
