// ZVEI five-tone decoder of one channel side.
//
//   A five-tone sequential call as it is sent (ZVEI1 tone set):
//
//   |<- 70 ms ->|<- 70 ms ->|<- 70 ms ->|<- 70 ms ->|<- 70 ms or longer ->|
//   +-----------+-----------+-----------+-----------+---------------------+
//   |  digit 1  |  digit 2  |  digit 3  |  digit 4  |       digit 5       |
//   +-----------+-----------+-----------+-----------+---------------------+
//    no gaps between the tones; a digit equal to the one before it is sent
//    as the repeat tone (2600 Hz), so that two equal tones never merge.
//
//   "12245" is sent as 1060 1160 2600 1400 1530 Hz.
//
// Per block: ZveiToneTracker (band-pass, zero-crossing frequency, steadiness
// filter, one reading per 9.07 ms into a ring) -> ZveiToneSegmenter (steady
// runs into tones) -> after five tones: labels (zvei_labels.h) -> a sequence
// of exactly five characters goes to the sink. Filter, duplicate test and
// names belong to the hand-off.
#pragma once

#include <cstdint>

#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"
#include "decoders/zvei/zvei_tone_segmenter.h"
#include "decoders/zvei/zvei_tone_tracker.h"

namespace tolvana {

/// What a decoder has seen since it was made; for diagnostics and tests.
struct ZveiCounters {
    std::uint64_t sequences = 0;   ///< five tones stored and assembled, whatever they named
    std::uint64_t handedOn = 0;    ///< sequences of five characters given to the sink
    std::uint64_t unlabelled = 0;  ///< five tones of which none is a ZVEI tone: no call
    std::uint64_t wrongLength = 0; ///< labelled sequences whose text is not five characters
    std::uint64_t droppedCalls = 0; ///< partial calls given up (six unsteady pairs in a row)

    bool operator==(const ZveiCounters&) const = default;
};

class ZveiDecoder {
public:
    ZveiDecoder(ChannelSide side, ReceptionSink* sink, std::uint64_t seed);

    /// The chain's input block; the dispatcher writes it while ZVEI is on.
    ChannelBlock& block() noexcept { return m_block; }
    /// Runs the chain once on the block (one captured buffer).
    void run(TimePoint now);
    /// The same, with the block's crossings found already by front() (which
    /// the caller has run over the block, e.g. with runFronts).
    void run(const CrossingList& crossings, TimePoint now);
    CrossingFront& front() noexcept { return m_tracker.front(); }
    /// Non-zero after a five-tone sequence was assembled; the dispatcher clears it.
    int sequenceDone() const noexcept { return m_sequenceDone; }
    void clearSequenceDone() noexcept { m_sequenceDone = 0; }

    ZveiCounters counters() const noexcept;
    /// Tones stored for the call being received (0..4 between blocks).
    int toneCount() const noexcept { return m_segmenter.toneCount(); }

private:
    void assemble(TimePoint now);

    ChannelSide m_side;
    ReceptionSink* m_sink;
    ChannelBlock m_block{};
    ZveiToneTracker m_tracker;
    ZveiToneRing m_ring;
    ZveiToneSegmenter m_segmenter;
    // The final character of the last sequence: what a repeat tone at the
    // start of the next sequence repeats.
    char m_lastCharacter = '\0';
    int m_sequenceDone = 0;
    ZveiCounters m_counters;
};

} // namespace tolvana
