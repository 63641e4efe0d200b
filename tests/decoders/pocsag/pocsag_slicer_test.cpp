// The POCSAG slicer's fast forms against its plain ones: the dither and click
// filter in vector registers, the whole-number threshold tests, and the
// whole-number slicer against the slicer in doubles. A borderline decision
// that came out differently would move a bit edge, so each must give the
// very same numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "decoders/pocsag/pocsag_click_filter.h"
#include "decoders/pocsag/pocsag_demodulator.h"
#include "support/pocsag_encoder.h"
#include "support/signal.h"

namespace tolvana {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// Blocks as they come: noise at several levels, full swing, and the values a
// caller with its own scaling could hand over (NaN, infinities, signed zeros,
// numbers far beyond 16 bits).
std::vector<ChannelBlock> awkwardBlocks() {
    std::mt19937_64 rng(11);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<ChannelBlock> blocks;
    for (const double rms : {0.0, 0.3, 40.0, 3000.0, 30000.0}) {
        ChannelBlock b{};
        for (double& v : b) {
            v = std::clamp(std::round(gauss(rng) * rms), -32768.0, 32767.0);
        }
        blocks.push_back(b);
    }
    ChannelBlock odd{};
    const std::array<double, 8> specials{std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         0.0,
                                         -0.0,
                                         1e300,
                                         -1e-300,
                                         0.5};
    for (std::size_t n = 0; n < odd.size(); ++n) {
        odd[n] = (n % 3 == 0) ? specials[(n / 3) % specials.size()] : gauss(rng) * 1000.0;
    }
    blocks.push_back(odd);
    return blocks;
}

TEST(PocsagClickFilter, VectorAndPlainFormsAgreeBitForBit) {
    pocsag::ClickFilterState vectorState(42);
    pocsag::ClickFilterState plainState(42);
    for (int round = 0; round < 3; ++round) {
        for (const ChannelBlock& in : awkwardBlocks()) {
            ChannelBlock fast{};
            ChannelBlock plain{};
            pocsag::filterClicks(in, vectorState, fast);
            pocsag::filterClicksPlain(in, plainState, plain);
            for (std::size_t n = 0; n < in.size(); ++n) {
                ASSERT_EQ(bits(fast[n]), bits(plain[n])) << "round " << round << " sample " << n;
            }
        }
    }
    EXPECT_EQ(vectorState.dither.states(), plainState.dither.states());
}

// The plain form against what it stands for: each sample plus its offset,
// then the median of the last five of them, carried over block boundaries.
TEST(PocsagClickFilter, IsTheMedianOfTheLastFiveDitheredSamples) {
    pocsag::ClickFilterState state(7);
    pocsag::InterleavedDither dither(7);
    std::vector<double> dithered(4, 0.0);
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (int block = 0; block < 4; ++block) {
        ChannelBlock in{};
        for (double& v : in) {
            v = sample(rng);
        }
        ChannelBlock out{};
        pocsag::filterClicks(in, state, out);
        for (std::size_t n = 0; n < in.size(); ++n) {
            dithered.push_back(in[n] + dither.next(n % pocsag::InterleavedDither::kWays));
            std::array<double, 5> window;
            std::copy(dithered.end() - 5, dithered.end(), window.begin());
            std::nth_element(window.begin(), window.begin() + 2, window.end());
            ASSERT_EQ(out[n], window[2]) << "block " << block << " sample " << n;
        }
    }
}

TEST(PocsagClickFilter, DitherIsUniformWithinAHalfAndRepeatsForItsSeed) {
    pocsag::InterleavedDither a(1);
    pocsag::InterleavedDither b(1);
    pocsag::InterleavedDither other(2);
    double sum = 0.0;
    double low = 1.0;
    double high = -1.0;
    int differentFromOtherSeed = 0;
    std::array<int, 10> deciles{};
    constexpr int kCount = 160000;
    for (int n = 0; n < kCount; ++n) {
        const std::size_t way = static_cast<std::size_t>(n) % pocsag::InterleavedDither::kWays;
        const double v = a.next(way);
        ASSERT_EQ(bits(v), bits(b.next(way)));
        differentFromOtherSeed += v != other.next(way) ? 1 : 0;
        sum += v;
        low = std::min(low, v);
        high = std::max(high, v);
        ++deciles[static_cast<std::size_t>((v + 0.5) * 10.0)];
    }
    EXPECT_GE(low, -0.5);
    EXPECT_LT(high, 0.5);
    EXPECT_NEAR(sum / kCount, 0.0, 0.005);
    for (const int d : deciles) {
        EXPECT_NEAR(d, kCount / 10, kCount / 100);
    }
    EXPECT_GT(differentFromOtherSeed, kCount - 10);
    // The sixteen generators do not run in step.
    pocsag::InterleavedDither c(3);
    const double first = c.next(0);
    for (std::size_t way = 1; way < pocsag::InterleavedDither::kWays; ++way) {
        EXPECT_NE(c.next(way), first) << way;
    }
}

TEST(PocsagWholeSamples, VectorAndPlainFormsAgreeAndTestLikeTheDoubles) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> any(-32768.5, 32767.5);
    ChannelBlock x{};
    for (std::size_t n = 0; n < x.size(); ++n) {
        // Ties of both parities and halves of the doubled value among them.
        switch (n % 4) {
        case 0: x[n] = std::floor(any(rng)) + 0.5; break;
        case 1: x[n] = std::floor(any(rng)) + 0.25; break;
        case 2: x[n] = std::floor(any(rng)); break;
        default: x[n] = any(rng); break;
        }
    }
    x[0] = -32768.5;
    x[1] = 32767.5;
    x[2] = -0.0;
    x[3] = -0.25;
    constexpr std::int32_t kOffset = 32768;
    pocsag::WholeSamples fast;
    pocsag::WholeSamples plain;
    pocsag::toWholeSamples(x, kOffset, fast);
    pocsag::toWholeSamplesPlain(x, kOffset, plain);
    EXPECT_EQ(fast.rounded, plain.rounded);
    EXPECT_EQ(fast.ceilDoubled, plain.ceilDoubled);
    EXPECT_EQ(fast.floorDoubled, plain.floorDoubled);
    for (std::size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(plain.rounded[n] - kOffset, static_cast<std::int32_t>(std::nearbyint(x[n])));
        const double y = 2.0 * x[n];
        for (const double p : {std::floor(y) - 1.0, std::floor(y), std::ceil(y), std::ceil(y) + 1.0}) {
            const auto whole = static_cast<std::int32_t>(p) + kOffset;
            ASSERT_EQ(y > p, plain.ceilDoubled[n] > whole) << x[n] << " against " << p;
            ASSERT_EQ(y < p, plain.floorDoubled[n] < whole) << x[n] << " against " << p;
        }
    }
}

// Traffic at all three rates in noise, with the things that move the peaks
// and the level in unusual ways: silence, a DC step, clicks, a held level.
test::Signal slicerTraffic() {
    test::Signal s = test::silence(0.2);
    std::uint32_t ric = 100000;
    for (const double rate : {512.0, 1200.0, 2400.0}) {
        for (const bool inverted : {false, true}) {
            const test::PocsagCall call{ric++, 3, test::PocsagCall::Kind::Alphanumeric,
                                        "Brand 3, Hauptstrasse 12, Person in Gefahr"};
            s.append(test::pocsagTransmission({call}, test::PocsagAir{rate, 9000.0, inverted, rate, 0.3}));
            s.append(test::silence(0.4));
        }
    }
    test::addNoise(s, 12.0, 4);
    test::Signal dc = test::silence(0.5);
    for (double& v : dc.samples) {
        v = 12000.0;
    }
    s.append(dc);
    s.append(test::silence(0.3));
    for (std::size_t n = 0; n < s.samples.size(); n += 997) {
        s.samples[n] = (n / 997) % 2 == 0 ? 32767.0 : -32768.0;
    }
    for (double& v : s.samples) {
        v = std::clamp(std::round(v), -32768.0, 32767.0);
    }
    return s;
}

TEST(PocsagSlicer, WholeNumbersAndDoublesGiveTheSameBatches) {
    const test::Signal s = slicerTraffic();
    PocsagDemodulator whole(21);
    PocsagDemodulator doubles(21);
    doubles.sliceInDoublesOnly(true);
    int batches = 0;
    ChannelBlock block{};
    for (std::size_t at = 0; at + kBlockFrames <= s.samples.size(); at += kBlockFrames) {
        std::copy_n(s.samples.begin() + static_cast<std::ptrdiff_t>(at), kBlockFrames, block.begin());
        whole.process(block);
        doubles.process(block);
        ASSERT_EQ(bits(whole.bitPeriod()), bits(doubles.bitPeriod())) << at;
        ASSERT_EQ(bits(whole.preamblePeriod()), bits(doubles.preamblePeriod())) << at;
        ASSERT_EQ(whole.receiver(), doubles.receiver()) << at;
        ASSERT_EQ(whole.endOfTransmission(), doubles.endOfTransmission()) << at;
        ASSERT_EQ(whole.batchReady(), doubles.batchReady()) << at;
        if (whole.batchReady()) {
            const auto a = whole.batch();
            const auto b = doubles.batch();
            ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << at;
            ++batches;
            whole.releaseBatch();
            doubles.releaseBatch();
        }
        if (whole.endOfTransmission() && whole.receiver() != PocsagReceiver::Idle) {
            whole.resetReceiver();
            doubles.resetReceiver();
        }
    }
    EXPECT_GE(batches, 6);
}

} // namespace
} // namespace tolvana
