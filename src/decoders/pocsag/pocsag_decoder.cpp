#include "decoders/pocsag/pocsag_decoder.h"

namespace tolvana {

PocsagDecoder::PocsagDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_demodulator(seed) {}

void PocsagDecoder::run(TimePoint now) {
    m_demodulator.process(m_block);

    // The collector stops at a finished batch, so there is at most one per
    // buffer; the bits after it wait in the bit ring for the next buffer.
    if (m_demodulator.batchReady()) {
        m_messages.processBatch(m_demodulator.batch(), m_demodulator.nextSyncOffset());
        m_demodulator.releaseBatch();
        // A transmission that goes on and on (a busy transmitter keeps its
        // carrier up) hands its pages on as it goes rather than hold them
        // without end. A batch adds at most 16.
        static_assert(kHandOnEarly + 16 <= PocsagMessageDecoder::kMaxPages);
        if (m_messages.pages().size() >= kHandOnEarly) {
            handOn(now);
        }
    }

    if (m_demodulator.endOfTransmission() && m_demodulator.receiver() != PocsagReceiver::Idle) {
        m_messages.endTransmission();
        handOn(now);
        m_demodulator.resetReceiver();
    }

    m_busy = m_demodulator.receiver() == PocsagReceiver::SearchingSync ||
             m_demodulator.receiver() == PocsagReceiver::Collecting;
}

void PocsagDecoder::handOn(TimePoint now) {
    if (m_sink != nullptr) {
        for (const PocsagPage& page : m_messages.pages()) {
            m_sink->pocsagPage(m_side, page, now);
        }
    }
    m_messages.dropPages();
}

} // namespace tolvana
