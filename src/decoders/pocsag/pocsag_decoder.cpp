#include "decoders/pocsag/pocsag_decoder.h"

namespace tolvana {

PocsagDecoder::PocsagDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_dither(seed) {}

void PocsagDecoder::run(TimePoint) {
    // The pager decoder is being built; nothing decoded yet.
}

} // namespace tolvana
