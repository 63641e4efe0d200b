#include "decoders/fms/fms_decoder.h"

namespace tolvana {

FmsDecoder::FmsDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_dither(seed) {}

void FmsDecoder::run(TimePoint) {
    // The demodulator and telegram decoder are being built; nothing decoded yet.
}

} // namespace tolvana
