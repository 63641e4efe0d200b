#include "decoders/zvei/zvei_decoder.h"

namespace tolvana {

ZveiDecoder::ZveiDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_dither(seed) {}

void ZveiDecoder::run(TimePoint) {
    // The five-tone decoder is being built; nothing decoded yet.
}

} // namespace tolvana
