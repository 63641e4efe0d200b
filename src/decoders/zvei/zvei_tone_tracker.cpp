#include "decoders/zvei/zvei_tone_tracker.h"

#include <algorithm>
#include <cmath>

namespace tolvana {

namespace {

constexpr double kDcWeight = 0.01;
// Mean change over mean above which the readings are no steady tone.
constexpr double kMaxRelativeDeviation = 0.05;

} // namespace

void ZveiToneTracker::process(const ChannelBlock& block, ZveiToneRing& ring) noexcept {
    constexpr double kRate = kSampleRate;
    constexpr double kInverseHistory = 1.0 / static_cast<double>(kHistory);

    for (const double raw : block) {
        // DC removal: the average already includes this sample.
        m_dcAverage = m_dcAverage * (1.0 - kDcWeight) + raw * kDcWeight;
        // The dither gives silence random crossings, which the steadiness
        // filter then rejects, instead of a frozen last estimate.
        const double v = (raw - m_dcAverage) + m_dither.offset();

        if (m_previousSample < 0.0 && v >= 0.0) {
            const double d = std::max(v - m_previousSample, 1.0);
            const double t = -m_previousSample / d;
            // Right after start-up the counter has not seen a crossing of
            // this direction and the "period" can be zero or negative: no
            // reading then, the last one stands.
            const double period = m_risingCount - 1.0 + t;
            if (period > 0.0) {
                m_frequency = kRate / period;
            }
            m_risingCount = 1.0 - t;
        } else if (m_previousSample >= 0.0 && v < 0.0) {
            const double d = std::max(m_previousSample - v, 1.0);
            const double t = m_previousSample / d;
            const double period = m_fallingCount - 1.0 + t;
            if (period > 0.0) {
                m_frequency = kRate / period;
            }
            m_fallingCount = 1.0 - t;
        }
        m_previousSample = v;
        m_risingCount += 1.0;
        m_fallingCount += 1.0;

        const double f = m_frequency;
        const std::size_t i = m_historyIndex;
        m_historySum += f - m_history[i];
        m_history[i] = f;
        const double change = std::abs(f - m_previousFrequency);
        m_deviationSum += change - m_deviationHistory[i];
        m_deviationHistory[i] = change;
        m_previousFrequency = f;
        if (++m_historyIndex == kHistory) {
            m_historyIndex = 0;
            recomputeSums();
        }

        if (m_decimationCount == 0) {
            const double mean = m_historySum * kInverseHistory;
            const double deviation = m_deviationSum * kInverseHistory;
            // A mean of 0 means no crossing has been seen yet: the entry
            // stays 0, which the segmenter never takes for a tone.
            double value = mean;
            if (mean != 0.0 && deviation / mean > kMaxRelativeDeviation) {
                value = ZveiToneRing::kUnsteady;
            }
            ring.entries[ring.write] = value;
            ring.write = (ring.write + 1) & ZveiToneRing::kMask;
        }
        if (++m_decimationCount == kDecimation) {
            m_decimationCount = 0;
        }
    }
}

void ZveiToneTracker::recomputeSums() noexcept {
    // The running sums are updated by adding and subtracting; doing the sum
    // afresh once per history length keeps rounding from creeping in over
    // hours and flushes the odd huge first reading after start-up, which
    // would otherwise leave its rounding error in the sum for good.
    double sum = 0.0;
    double deviationSum = 0.0;
    for (std::size_t k = 0; k < kHistory; ++k) {
        sum += m_history[k];
        deviationSum += m_deviationHistory[k];
    }
    m_historySum = sum;
    m_deviationSum = deviationSum;
}

} // namespace tolvana
