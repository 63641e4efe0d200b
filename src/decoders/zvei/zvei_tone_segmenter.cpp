#include "decoders/zvei/zvei_tone_segmenter.h"

#include <algorithm>
#include <cmath>

namespace tolvana {

namespace {

// A pair of entries is steady when they differ by less than this share of
// their sum (2.7 % of either). In white noise 3 dB below the tones over the
// whole band, neighbouring readings of one tone differ by up to about 1 %
// of their sum (see zvei_tone_tracker.h); the closest tones that follow
// each other in a call, 9 (2200 Hz) and J (2135 Hz), differ by 1.5 %. (7
// and L, 0.8 % apart, were never told apart here: the labels do that.)
constexpr double kSteadyLimit = 0.0135;
constexpr std::int32_t kShortestTone = 5; // steady pairs
constexpr std::int32_t kLongestTone = 9;  // steady pairs, tones 1 to 4
// A tone's frequency is the mean of its steady run without the run's first
// and last two entries: an entry whose 150 samples reach into the next tone
// (or still carry the filter's and the tracker's memory of the previous one)
// can be within the limit of its neighbour, sit in the run and still be
// off by that much. In noise every entry scatters, and the mean of the
// run's inside scatters half as much as one entry: one entry of a 7
// (1830 Hz) in deep noise reads now and then above 1855 Hz, as an L; the
// mean does not.
constexpr std::size_t kEdge = 2;
// The fifth tone may be held for seconds: the mean of its first entries
// after the edge.
constexpr std::size_t kFifthToneEntries = 5;
constexpr std::int32_t kMaxUnsteady = 5;
constexpr std::int32_t kSteadyWrap = 31000;

// Mean of `count` entries, the newest at `newest`.
double meanOf(const ZveiToneRing& ring, std::size_t newest, std::size_t count) noexcept {
    double sum = 0.0;
    for (std::size_t k = count; k-- > 0;) {
        sum += ring.at(newest - k);
    }
    return sum / static_cast<double>(count);
}

// Unsteady markers (1.0) and empty entries (0) never make a steady pair.
double relativeChange(double a, double b) noexcept {
    return b > ZveiToneRing::kUnsteady ? std::abs(b - a) / (b + a) : 1.0;
}

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
        double rel = relativeChange(a, ring.at(ai + 1));
        // One entry that does not fit between two that fit each other (a
        // burst of noise) is taken for theirs. A tone lasts six entries or
        // more, so no tone is lost this way. The entry after it may not be
        // there yet: the pair waits.
        if (rel > kSteadyLimit && a > ZveiToneRing::kUnsteady) {
            if (j + 1 == pairs) {
                break;
            }
            if (relativeChange(a, ring.at(ai + 2)) < kSteadyLimit) {
                ring.entries[(ai + 1) & ZveiToneRing::kMask] = a;
                rel = 0.0;
            }
        }

        if (rel > kSteadyLimit) {
            // The run's entries are ai - steady .. ai.
            const auto steady = static_cast<std::size_t>(m_steadyCount);
            if (m_toneCount < kTones - 1 && m_steadyCount >= kShortestTone &&
                m_steadyCount <= kLongestTone) {
                m_tones[static_cast<std::size_t>(m_toneCount)] = meanOf(ring, ai - kEdge, steady + 1 - 2 * kEdge);
                ++m_toneCount;
                m_steadyCount = 0;
            } else if (m_toneCount == kTones - 1 && m_steadyCount >= kShortestTone) {
                // Counted back from ai. The run may be longer than the ring:
                // its first entries are then overwritten, and the oldest
                // entry still kept (at the write index) and those after it
                // stand in for them.
                const std::size_t kept = (ai - ring.write) & ZveiToneRing::kMask;
                const std::size_t first = std::min(steady - kEdge, kept);
                const std::size_t newest = first >= kEdge + kFifthToneEntries - 1 ? first - (kFifthToneEntries - 1) : kEdge;
                m_tones[kTones - 1] = meanOf(ring, ai - newest, first - newest + 1);
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
