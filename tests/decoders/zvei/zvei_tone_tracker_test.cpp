// The five-tone tracker's reading of a window of crossing periods: the
// frequency from the time the periods span, robust against a crossing that
// noise adds or takes away, and no reading where the periods do not hold
// still.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "decoders/zvei/zvei_tone_tracker.h"

namespace tolvana {
namespace {

// The periods a front end gives for a tone of `frequency` over 150 samples,
// rising and falling crossings taking turns, each crossing off by up to
// `jitter` samples.
std::vector<double> tonePeriods(double frequency, double jitter, std::mt19937& rng) {
    std::uniform_real_distribution<double> off(-jitter, jitter);
    const double half = kSampleRate / frequency / 2.0;
    std::vector<double> times;
    for (double t = 0.0; t < 150.0 + 2.0 * half; t += half) {
        times.push_back(t + off(rng));
    }
    std::vector<double> periods;
    for (std::size_t i = 2; i < times.size(); ++i) {
        const double p = times[i] - times[i - 2];
        periods.push_back(i % 2 == 0 ? p : -p);
    }
    return periods;
}

double readingOf(const std::vector<double>& periods) {
    std::vector<double> scratch(periods.size());
    return ZveiToneTracker::reading(periods.data(), periods.size(), scratch.data());
}

TEST(ZveiToneTracker, ReadingHasTheJitterOfTheWindowNotOfOnePeriod) {
    std::mt19937 rng(3);
    for (const double f : {810.0, 1060.0, 1830.0, 1860.0, 2400.0, 2800.0}) {
        double worst = 0.0;
        double worstPeriod = 0.0;
        for (int trial = 0; trial < 200; ++trial) {
            // Each crossing off by up to a twentieth of a period (white
            // noise 3 dB below the tone over the whole band does about
            // that behind the band-pass).
            const auto periods = tonePeriods(f, 0.05 * kSampleRate / f, rng);
            worst = std::max(worst, std::abs(readingOf(periods) / f - 1.0));
            for (const double p : periods) {
                worstPeriod = std::max(worstPeriod, std::abs(kSampleRate / std::abs(p) / f - 1.0));
            }
        }
        EXPECT_LT(worst, 0.015) << f << " Hz";
        EXPECT_GT(worstPeriod, 0.07) << f << " Hz"; // what one period alone would read
    }
}

TEST(ZveiToneTracker, ACrossingMoreOrLessDoesNotMoveTheReading) {
    std::mt19937 rng(5);
    const double f = 1400.0;
    auto periods = tonePeriods(f, 0.0, rng);
    ASSERT_NEAR(readingOf(periods), f, 0.5);
    // Noise splits one rising period in two (a rising crossing too many)...
    auto split = periods;
    const double whole = split[4];
    split[4] = whole * 0.4;
    split.insert(split.begin() + 6, whole * 0.6);
    EXPECT_NEAR(readingOf(split), f, 0.01 * f);
    // ... or joins two falling periods (one crossing lost).
    auto joined = periods;
    joined[5] += joined[7];
    joined.erase(joined.begin() + 7);
    EXPECT_NEAR(readingOf(joined), f, 0.01 * f);
}

TEST(ZveiToneTracker, NoReadingWithoutASteadyTone) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> any(4.0, 40.0);
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<double> noise;
        for (int i = 0; i < 20; ++i) {
            noise.push_back(i % 2 == 0 ? any(rng) : -any(rng));
        }
        EXPECT_EQ(readingOf(noise), ZveiToneRing::kUnsteady);
    }
    EXPECT_EQ(readingOf({20.0, -20.0, 20.0}), ZveiToneRing::kUnsteady); // too few
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(readingOf({nan, -nan, nan, -nan, nan}), ZveiToneRing::kUnsteady);
    EXPECT_EQ(readingOf({0.0, -0.0, 0.0, -0.0, 0.0}), ZveiToneRing::kUnsteady);
    EXPECT_EQ(readingOf({1e300, -1e300, 1e300, -1e300}), ZveiToneRing::kUnsteady);
}

// Blocks of crossings in, one entry every 200 samples out, each a reading of
// the crossings of the 150 samples up to it, wherever blocks begin.
TEST(ZveiToneTracker, OneEntryEvery200SamplesFromTheLast150) {
    ZveiToneTracker tracker(1);
    ZveiToneRing ring;
    const double f = 1270.0;
    const double half = kSampleRate / f / 2.0;
    double t = 0.0;
    std::size_t entries = 0;
    for (int block = 0; block < 40; ++block) {
        CrossingList list{};
        const double end = (block + 1) * static_cast<double>(kBlockFrames);
        // A tone in blocks 10..29, nothing before and after.
        const bool tone = block >= 10 && block < 30;
        for (; t < end; t += half) {
            if (tone) {
                list.period[list.count] = list.count % 2 == 0 ? 2.0 * half : -2.0 * half;
                list.at[list.count] = static_cast<std::uint16_t>(std::ceil(t) - block * kBlockFrames) % kBlockFrames;
                ++list.count;
            }
        }
        tracker.process(list, ring);
        while (ring.read != ring.write) {
            const double v = ring.entries[ring.read];
            const double at = static_cast<double>(entries) * ZveiToneTracker::kDecimation;
            if (at > 10 * kBlockFrames + 200.0 && at < 30 * kBlockFrames) {
                EXPECT_NEAR(v, f, 0.5) << "entry " << entries;
            } else if (at < 10 * kBlockFrames || at > 30 * kBlockFrames + 150.0) {
                EXPECT_EQ(v, ZveiToneRing::kUnsteady) << "entry " << entries;
            }
            ring.read = (ring.read + 1) & ZveiToneRing::kMask;
            ++entries;
        }
    }
    EXPECT_EQ(entries, static_cast<std::size_t>(std::ceil(40.0 * kBlockFrames / ZveiToneTracker::kDecimation)));
}

} // namespace
} // namespace tolvana
