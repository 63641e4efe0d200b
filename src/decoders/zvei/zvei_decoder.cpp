#include "decoders/zvei/zvei_decoder.h"

#include "decoders/zvei/zvei_labels.h"

namespace tolvana {

namespace {

constexpr std::size_t kCallLength = 5;

} // namespace

ZveiDecoder::ZveiDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed)
    : m_side(side), m_sink(sink), m_tracker(seed) {}

void ZveiDecoder::run(TimePoint now) {
    m_tracker.process(m_block, m_ring);
    if (m_segmenter.consume(m_ring)) {
        assemble(now);
    }
}

void ZveiDecoder::run(const CrossingList& crossings, TimePoint now) {
    m_tracker.process(crossings, m_ring);
    if (m_segmenter.consume(m_ring)) {
        assemble(now);
    }
}

void ZveiDecoder::assemble(TimePoint now) {
    const auto& tones = m_segmenter.tones();
    const ZveiCallText call = assembleZveiCall(tones.data(), tones.size(), m_lastCharacter);
    m_segmenter.clearTones();
    ++m_counters.sequences;

    // Five steady stretches none of which is a ZVEI tone are no call. The
    // square-wave preamble of a pager transmission cut up by noise looks
    // just like that, and marking it as a call would keep the pager chain
    // away from the very buffer that carries the sync codeword.
    if (!call.anyLabel) {
        ++m_counters.unlabelled;
        return;
    }
    m_sequenceDone = 1;
    if (call.text.size() != kCallLength) {
        ++m_counters.wrongLength;
        return;
    }
    ++m_counters.handedOn;
    if (m_sink != nullptr) {
        m_sink->zveiSequence(m_side, ZveiSequence{call.text}, now);
    }
}

ZveiCounters ZveiDecoder::counters() const noexcept {
    ZveiCounters c = m_counters;
    c.droppedCalls = m_segmenter.droppedCalls();
    return c;
}

} // namespace tolvana
