#include "decoders/zvei/zvei_tone_tracker.h"

#include <algorithm>
#include <cmath>

namespace tolvana {

namespace {

// Mean change over mean above which the readings are no steady tone.
constexpr double kMaxRelativeDeviation = 0.05;

} // namespace

void ZveiToneTracker::process(const ChannelBlock& block, ZveiToneRing& ring) noexcept {
    // The band-pass (which leaves no offset), then the dither,
    // which gives silence random crossings that the steadiness filter
    // rejects, instead of a frozen last estimate; then the zero crossings.
    CrossingList crossings;
    runFront(block, m_front, crossings);
    process(crossings, ring);
}

void ZveiToneTracker::process(const CrossingList& crossings, ZveiToneRing& ring) noexcept {
    constexpr double kRate = kSampleRate;
    constexpr double kInverseHistory = 1.0 / static_cast<double>(kHistory);
    const std::size_t found = crossings.count;
    const auto& period = crossings.period;
    const auto& at = crossings.at;

    // frequencies[k] is the reading after k crossings of this block, the
    // same whichever direction measured it.
    std::array<double, kBlockFrames + 2> frequencies;
    frequencies[0] = m_frequency;
    for (std::size_t k = 0; k < found; ++k) {
        frequencies[k + 1] = kRate / std::abs(period[k]);
    }
    // A mark on every sample that brought a reading: counting them as the
    // samples pass gives the index into `frequencies` without a branch and
    // without a load that waits on the previous sample's count.
    std::array<std::uint8_t, kBlockFrames> crossed{};
    for (std::size_t k = 0; k < found; ++k) {
        crossed[at[k]] = 1;
    }

    // Per sample: the frequency held between crossings, its running mean
    // and mean change over the last 100 samples, and one ring entry every
    // 200 samples. The state lives in locals so that the ring's stores
    // cannot force it back to memory on every sample, and the samples go in
    // stretches up to the next history wrap or ring entry, so that the
    // inner loop tests nothing else.
    //
    // The running sums are read only at a ring entry, and each history wrap
    // replaces them with sums made afresh; an entry comes every 200 samples,
    // a wrap every 100. So the sums matter only from the last wrap before an
    // entry up to that entry: there ("live") the histories and the sums are
    // kept as written, elsewhere only the histories. The sums afresh are
    // made where they will be read: when a live stretch starts at the wrap,
    // and when an entry's own sample wraps the history. The two additions per
    // sample chain each sample to the one before; most samples skip them.
    double historySum = m_historySum;
    double deviationSum = m_deviationSum;
    double previousFrequency = m_previousFrequency;
    std::size_t historyIndex = m_historyIndex;
    std::size_t decimationCount = static_cast<std::size_t>(m_decimationCount);
    std::size_t next = 0;
    std::size_t n = 0;
    // Takes the next `count` samples into the histories; they end at a
    // history wrap at the latest.
    const auto take = [&](std::size_t count, bool live) {
        double* const history = m_history.data() + historyIndex;
        double* const deviations = m_deviationHistory.data() + historyIndex;
        if (live) {
            if (historyIndex == 0) {
                recomputeSums(historySum, deviationSum); // the wrap's sums afresh
            }
            for (std::size_t k = 0; k < count; ++k) {
                next += crossed[n + k];
                const double f = frequencies[next];
                historySum += f - history[k];
                history[k] = f;
                const double change = std::abs(f - previousFrequency);
                deviationSum += change - deviations[k];
                deviations[k] = change;
                previousFrequency = f;
            }
        } else {
            for (std::size_t k = 0; k < count; ++k) {
                next += crossed[n + k];
                const double f = frequencies[next];
                history[k] = f;
                deviations[k] = std::abs(f - previousFrequency);
                previousFrequency = f;
            }
        }
        n += count;
        historyIndex += count;
        if (historyIndex == kHistory) {
            historyIndex = 0;
        }
    };
    while (n < kBlockFrames) {
        if (decimationCount == 0) {
            // Every 200th sample leaves a ring entry, taken with it.
            take(1, true);
            if (historyIndex == 0) {
                recomputeSums(historySum, deviationSum); // the entry's sample wrapped the history
            }
            const double mean = historySum * kInverseHistory;
            const double deviation = deviationSum * kInverseHistory;
            // A mean of 0 means no crossing has been seen yet: the entry
            // stays 0, which the segmenter never takes for a tone.
            double value = mean;
            if (mean != 0.0 && deviation / mean > kMaxRelativeDeviation) {
                value = ZveiToneRing::kUnsteady;
            }
            ring.entries[ring.write] = value;
            ring.write = (ring.write + 1) & ZveiToneRing::kMask;
            decimationCount = 1;
            continue;
        }
        // The samples up to the next entry, a history wrap or the block's end.
        const std::size_t toEntry = static_cast<std::size_t>(kDecimation) - decimationCount;
        const std::size_t toWrap = kHistory - historyIndex;
        const std::size_t stretch = std::min({kBlockFrames - n, toWrap, toEntry});
        // Live when the entry's sample (the one after these) comes no later
        // than the sample that wraps the history.
        take(stretch, toEntry + 1 <= toWrap);
        decimationCount += stretch;
        if (decimationCount == static_cast<std::size_t>(kDecimation)) {
            decimationCount = 0;
        }
    }
    m_frequency = frequencies[next];
    m_historySum = historySum;
    m_deviationSum = deviationSum;
    m_previousFrequency = previousFrequency;
    m_historyIndex = historyIndex;
    m_decimationCount = static_cast<int>(decimationCount);
}

void ZveiToneTracker::recomputeSums(double& historySum, double& deviationSum) const noexcept {
    // The running sums are updated by adding and subtracting; doing the sum
    // afresh once per history length keeps rounding from creeping in over
    // hours and flushes the odd huge first reading after start-up, which
    // would otherwise leave its rounding error in the sum for good.
    double sum = 0.0;
    double newDeviationSum = 0.0;
    for (std::size_t k = 0; k < kHistory; ++k) {
        sum += m_history[k];
        newDeviationSum += m_deviationHistory[k];
    }
    historySum = sum;
    deviationSum = newDeviationSum;
}

} // namespace tolvana
