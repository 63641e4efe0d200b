// The framing half of the five-tone decoder: cuts the ring's frequency
// readings into tones and keeps the frequencies of up to five of them.
//
//   ring entries (9.07 ms each), one call of five 70 ms tones:
//
//   .. 1.0 1.0 |1060 1060 .. 1060|1160 .. 1160|1270 ..|1400 ..|1530 .. 1530| 1.0 1.0 ..
//              |<- 5..9 steady ->|<- 5..9   ->|       |       |<-  >= 5  ->|
//              |      pairs      |            |       |       |   pairs    |
//                   tone 1          tone 2     tone 3  tone 4     tone 5
//
// A pair of neighbouring entries is steady when they differ by less than
// 1.35 % of their sum. When a steady run ends (the next pair is not
// steady), tones 1 to 4 are kept if the run was 5 to 9 pairs long (about 45 to 90 ms; nominal
// 70 ms), the fifth tone if it was 5 pairs or longer, since a sender may hold
// the last tone. Shorter or longer runs are passed over without harm, but six
// unsteady pairs in a row (about 54 ms without a tone) end the call. A tone's
// frequency is the mean of its run without two entries at either end (of the
// fifth tone: up to five entries after its start).
#pragma once

#include <array>
#include <cstdint>

#include "decoders/zvei/zvei_tone_tracker.h"

namespace tolvana {

class ZveiToneSegmenter {
public:
    static constexpr int kTones = 5;

    /// Reads the unread pairs of the ring. Returns true when the fifth tone
    /// has just been stored; the entries after it stay unread for next time.
    bool consume(ZveiToneRing& ring) noexcept;

    int toneCount() const noexcept { return m_toneCount; }
    const std::array<double, kTones>& tones() const noexcept { return m_tones; }
    /// Starts the next call; the run counters carry on.
    void clearTones() noexcept { m_toneCount = 0; }
    /// Partial calls given up after a long stretch without a steady tone.
    std::uint64_t droppedCalls() const noexcept { return m_droppedCalls; }

private:
    std::array<double, kTones> m_tones{};
    int m_toneCount = 0;
    std::int32_t m_steadyCount = 0;
    std::int32_t m_unsteadyCount = 0;
    std::uint64_t m_droppedCalls = 0;
};

} // namespace tolvana
