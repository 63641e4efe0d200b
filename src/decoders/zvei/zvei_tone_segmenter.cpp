#include "decoders/zvei/zvei_tone_segmenter.h"

#include <cmath>

namespace tolvana {

namespace {

constexpr double kSteadyLimit = 0.01;
constexpr std::int32_t kShortestTone = 5; // steady pairs
constexpr std::int32_t kLongestTone = 9;  // steady pairs, tones 1 to 4
// The value in a steady run that is taken as the tone: three entries in from
// its end (tones 1 to 4) or its start (the fifth tone, whose end may be far
// off), clear of the slopes between tones.
constexpr std::size_t kInset = 3;
constexpr std::int32_t kMaxUnsteady = 5;
constexpr std::int32_t kSteadyWrap = 31000;

} // namespace

bool ZveiToneSegmenter::consume(ZveiToneRing& ring) noexcept {
    const std::size_t pending = ring.pending();
    if (pending < 2) {
        return false;
    }
    // The newest entry stays unread: it is the older member of the first
    // pair next time.
    const std::size_t pairs = pending - 1;
    const std::size_t base = ring.read;
    bool complete = false;
    std::size_t j = 0;
    while (j < pairs && !complete) {
        const std::size_t ai = base + j;
        const double a = ring.at(ai);
        const double b = ring.at(ai + 1);
        // Unsteady markers (1.0) and empty entries (0) never make a steady pair.
        const double rel = b > ZveiToneRing::kUnsteady ? std::abs(b - a) / (b + a) : 1.0;

        if (rel > kSteadyLimit) {
            if (m_toneCount < kTones - 1 && m_steadyCount >= kShortestTone &&
                m_steadyCount <= kLongestTone) {
                m_tones[static_cast<std::size_t>(m_toneCount)] = ring.at(ai - kInset);
                ++m_toneCount;
                m_steadyCount = 0;
            } else if (m_toneCount == kTones - 1 && m_steadyCount >= kShortestTone) {
                // The run may be longer than the ring: the first entries of
                // the run are then overwritten, and the oldest entry still
                // kept (at the write index) stands in for them.
                const auto back = static_cast<std::size_t>(m_steadyCount) - kInset;
                const std::size_t kept = (ai - ring.write) & ZveiToneRing::kMask;
                const std::size_t index = back <= kept ? ai - back : ring.write;
                m_tones[kTones - 1] = ring.at(index);
                m_toneCount = kTones;
                complete = true;
            }
        }

        if (rel < kSteadyLimit) {
            if (++m_steadyCount > kSteadyWrap) {
                m_steadyCount = 0;
            }
            m_unsteadyCount = 0;
        } else {
            // A pair at exactly the limit counts as unsteady but ends no tone.
            m_steadyCount = 0;
            if (++m_unsteadyCount > kMaxUnsteady) {
                if (m_toneCount > 0) {
                    ++m_droppedCalls;
                }
                m_tones.fill(0.0);
                m_toneCount = 0;
            }
        }
        ++j;
    }
    ring.read = (base + j) & ZveiToneRing::kMask;
    return complete;
}

} // namespace tolvana
