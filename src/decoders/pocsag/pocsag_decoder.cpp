#include "decoders/pocsag/pocsag_decoder.h"

namespace tolvana {

PocsagDecoder::PocsagDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_demodulator(seed) {}

void PocsagDecoder::run(TimePoint now) {
    m_demodulator.process(m_block);

    // The collector stops at a finished batch, so there is at most one per
    // buffer; the bits after it wait in the bit ring for the next buffer.
    if (m_demodulator.batchReady()) {
        m_messages.processBatch(m_demodulator.batch());
        m_demodulator.releaseBatch();
    }

    if (m_demodulator.endOfTransmission() && m_demodulator.receiver() != PocsagReceiver::Idle) {
        const std::optional<PocsagPage> page = m_messages.endTransmission();
        if (page && m_sink != nullptr) {
            m_sink->pocsagPage(m_side, *page, now);
        }
        m_demodulator.resetReceiver();
    }

    m_busy = m_demodulator.receiver() == PocsagReceiver::SearchingSync ||
             m_demodulator.receiver() == PocsagReceiver::Collecting;
}

} // namespace tolvana
