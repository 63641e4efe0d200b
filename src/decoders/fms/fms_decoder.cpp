#include "decoders/fms/fms_decoder.h"

namespace tolvana {

FmsDecoder::FmsDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_demodulator(seed) {}

void FmsDecoder::run(TimePoint now) {
    m_demodulator.process(m_block);
    decode(now);
}

void FmsDecoder::run(const CrossingList& crossings, TimePoint now) {
    m_demodulator.process(crossings);
    decode(now);
}

void FmsDecoder::decode(TimePoint now) {
    // While follow-ups are awaited there is no preamble search: every
    // telegram that follows is read as a follow-up.
    if (!m_telegrams.followUpPending() && m_demodulator.syncState() != FmsSyncState::Ready) {
        m_demodulator.searchPreamble();
    }
    // A buffer may hold the end of a telegram and one or more follow-ups;
    // each is sliced once all of it has arrived.
    while (m_telegrams.followUpPending() || m_demodulator.syncState() == FmsSyncState::Ready) {
        if (m_demodulator.sliceBits(m_telegrams.bitsToSlice(), m_bits) != FmsSliceResult::Sliced) {
            break;
        }
        if (m_telegrams.decode(m_bits) && m_sink != nullptr) {
            m_sink->fmsReception(m_side, m_telegrams.reception(), now);
        }
        if (!m_telegrams.followUpPending()) {
            break;
        }
    }

    if (m_sink != nullptr) {
        if (m_demodulator.toneISeen()) {
            m_sink->toneCall(m_side, ToneCall::ToneI, now);
        }
        if (m_demodulator.toneIISeen()) {
            m_sink->toneCall(m_side, ToneCall::ToneII, now);
        }
    }
}

} // namespace tolvana
