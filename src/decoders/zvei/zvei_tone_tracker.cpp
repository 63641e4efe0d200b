#include "decoders/zvei/zvei_tone_tracker.h"

#include <algorithm>
#include <cmath>

namespace tolvana {

namespace {

// A window with fewer periods holds no tone (the lowest tone, 810 Hz, gives
// about ten in 150 samples).
constexpr std::size_t kFewestPeriods = 4;
// A period that differs from the median by more than this share does not
// fit the tone; a window where more than a quarter of the periods do not
// fit is no steady tone. Noise alone gives periods all over the band; a
// tone 3 dB above white noise over the whole band, periods within about
// 5 % of its own. A pager preamble (a square wave) gives the band-pass a
// mixture of harmonics whose periods take turns, 20 % apart and more.
constexpr double kPeriodSpread = 0.15;
// Periods spanned that differ from the periods counted by this much or more
// (in periods) mean a crossing too many or too few.
constexpr double kMiscount = 0.75;

} // namespace

void ZveiToneTracker::process(const ChannelBlock& block, ZveiToneRing& ring) noexcept {
    // The band-pass (which leaves no offset), then the dither, which gives
    // silence random crossings that the steadiness test rejects, instead of
    // a frozen last estimate; then the zero crossings.
    CrossingList crossings;
    runFront(block, m_front, crossings);
    process(crossings, ring);
}

double ZveiToneTracker::reading(const double* periods, std::size_t count, double* scratch) noexcept {
    if (count < kFewestPeriods) {
        return ZveiToneRing::kUnsteady;
    }
    for (std::size_t i = 0; i < count; ++i) {
        scratch[i] = std::abs(periods[i]);
    }
    std::nth_element(scratch, scratch + count / 2, scratch + count);
    const double median = scratch[count / 2];
    // Not a number, no length, or longer than a block: no reading a tone
    // of the band gives.
    if (!(median > 0.0 && median < static_cast<double>(kBlockFrames))) {
        return ZveiToneRing::kUnsteady;
    }
    std::size_t offTone = 0;
    double rising = 0.0;
    double falling = 0.0;
    std::size_t risingCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double p = std::abs(periods[i]);
        offTone += !(std::abs(p - median) <= kPeriodSpread * median);
        if (periods[i] > 0.0) {
            rising += p;
            ++risingCount;
        } else {
            falling += p;
        }
    }
    if (4 * offTone > count) {
        return ZveiToneRing::kUnsteady;
    }
    // The periods of one direction follow each other: their sum is the time
    // from the crossing before the first to the last. How many periods that
    // is, is their count, unless noise added a crossing or took one away;
    // then the median tells. (The median alone, itself a little off, would
    // count one period too many or too few now and then at the high tones,
    // some 17 periods to a direction.)
    const auto periodsIn = [median](double span, std::size_t counted) {
        const double estimate = span / median;
        const auto n = static_cast<double>(counted);
        return std::abs(estimate - n) < kMiscount ? n : std::nearbyint(estimate);
    };
    const double periodsSpanned = periodsIn(rising, risingCount) + periodsIn(falling, count - risingCount);
    const double time = rising + falling;
    if (!(periodsSpanned > 0.0) || !std::isfinite(time)) {
        return ZveiToneRing::kUnsteady;
    }
    return static_cast<double>(kSampleRate) * periodsSpanned / time;
}

// The entry at sample `now`: a reading of the crossings shown by the samples
// now - kWindow + 1 .. now.
void ZveiToneTracker::entry(std::int64_t now, ZveiToneRing& ring) noexcept {
    while (m_oldest != m_newest && m_times[m_oldest % kCrossings] <= now - kWindow) {
        ++m_oldest;
    }
    std::array<double, kCrossings> periods;
    std::array<double, kCrossings> scratch;
    std::size_t count = 0;
    for (std::size_t i = m_oldest; i != m_newest; ++i) {
        periods[count++] = m_periods[i % kCrossings];
    }
    ring.entries[ring.write] = reading(periods.data(), count, scratch.data());
    ring.write = (ring.write + 1) & ZveiToneRing::kMask;
}

void ZveiToneTracker::process(const CrossingList& crossings, ZveiToneRing& ring) noexcept {
    std::size_t k = 0;
    const auto take = [&](std::size_t upTo) {
        // The crossings shown by samples before `upTo`.
        for (; k < crossings.count && crossings.at[k] < upTo; ++k) {
            if (m_newest - m_oldest == kCrossings) {
                ++m_oldest; // cannot happen: at most one crossing per sample
            }
            m_periods[m_newest % kCrossings] = crossings.period[k];
            m_times[m_newest % kCrossings] = m_sample + crossings.at[k];
            ++m_newest;
            m_frequency = kSampleRate / std::abs(crossings.period[k]);
        }
    };
    // Entries at the samples where the decimation count is 0.
    auto n = static_cast<std::size_t>((kDecimation - m_decimationCount) % kDecimation);
    for (; n < kBlockFrames; n += kDecimation) {
        take(n + 1);
        entry(m_sample + static_cast<std::int64_t>(n), ring);
    }
    take(kBlockFrames);
    m_decimationCount = static_cast<int>((static_cast<std::size_t>(m_decimationCount) + kBlockFrames) % kDecimation);
    m_sample += kBlockFrames;
}

} // namespace tolvana
