// The five-tone frequency tracker keeps its running sums only where a ring
// entry will read them. Held to the tracker written out sample by sample
// (both sums kept on every sample, made afresh at every history wrap), ring
// entry for ring entry, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "decoders/zvei/zvei_tone_tracker.h"

namespace tolvana {
namespace {

class PlainTracker {
public:
    void process(const CrossingList& crossings, std::vector<double>& entries) {
        std::size_t k = 0;
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            if (k < crossings.count && crossings.at[k] == n) {
                m_frequency = kSampleRate / std::abs(crossings.period[k]);
                ++k;
            }
            const bool entry = m_decimation == 0;
            const double f = m_frequency;
            m_historySum += f - m_history[m_index];
            m_history[m_index] = f;
            const double change = std::abs(f - m_previous);
            m_deviationSum += change - m_deviations[m_index];
            m_deviations[m_index] = change;
            m_previous = f;
            if (++m_index == ZveiToneTracker::kHistory) {
                m_index = 0;
                m_historySum = 0.0;
                m_deviationSum = 0.0;
                for (std::size_t i = 0; i < ZveiToneTracker::kHistory; ++i) {
                    m_historySum += m_history[i];
                    m_deviationSum += m_deviations[i];
                }
            }
            if (entry) {
                const double mean = m_historySum * (1.0 / 100.0);
                const double deviation = m_deviationSum * (1.0 / 100.0);
                entries.push_back(mean != 0.0 && deviation / mean > 0.05 ? ZveiToneRing::kUnsteady : mean);
                m_decimation = 1;
            } else if (++m_decimation == ZveiToneTracker::kDecimation) {
                m_decimation = 0;
            }
        }
    }

private:
    std::array<double, ZveiToneTracker::kHistory> m_history{};
    std::array<double, ZveiToneTracker::kHistory> m_deviations{};
    std::size_t m_index = 0;
    int m_decimation = 0;
    double m_frequency = 0.0;
    double m_previous = 0.0;
    double m_historySum = 0.0;
    double m_deviationSum = 0.0;
};

// Crossings as a front end gives them for steady tones, noise, silence and
// the odd reading no tone gives (a period of 0, NaN, huge), so that the sums
// carry rounding errors and non-numbers across wraps and blocks.
CrossingList crossingsFor(int block, std::mt19937_64& rng) {
    CrossingList list{};
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    std::uniform_real_distribution<double> wide(1.5, 40.0);
    const int kind = block % 7;
    if (kind == 3) {
        return list; // a block without crossings
    }
    double at = 0.0;
    const double tone = 22050.0 / (2.0 * (800.0 + 300.0 * (block % 9)));
    while (true) {
        double period = kind == 5 ? wide(rng) : tone + jitter(rng);
        at += period;
        if (at >= kBlockFrames) {
            break;
        }
        if (kind == 6 && list.count % 17 == 3) {
            const std::array<double, 4> odd{0.0, std::numeric_limits<double>::quiet_NaN(), 1e-300, 1e300};
            period = odd[(list.count / 17) % odd.size()];
        }
        list.period[list.count] = (list.count % 2 == 0) ? period : -period;
        list.at[list.count] = static_cast<std::uint16_t>(at);
        ++list.count;
    }
    return list;
}

TEST(ZveiToneTracker, EntriesAreThoseOfTheSumsKeptOnEverySample) {
    ZveiToneTracker tracker(1);
    PlainTracker plain;
    ZveiToneRing ring;
    std::vector<double> expected;
    std::vector<double> got;
    std::mt19937_64 rng(17);
    for (int block = 0; block < 600; ++block) {
        const CrossingList crossings = crossingsFor(block, rng);
        tracker.process(crossings, ring);
        plain.process(crossings, expected);
        while (ring.read != ring.write) {
            got.push_back(ring.entries[ring.read]);
            ring.read = (ring.read + 1) & ZveiToneRing::kMask;
        }
    }
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(expected[i])) << "entry " << i;
    }
    // The traffic had steady tones in it, and readings that were not.
    EXPECT_GT(std::count_if(got.begin(), got.end(), [](double v) { return v > 700.0 && v < 3000.0; }), 500);
    EXPECT_GT(std::count(got.begin(), got.end(), ZveiToneRing::kUnsteady), 100);
}

} // namespace
} // namespace tolvana
