// The bit clock on its own: started on a preamble with a bit period a few
// percent off, it falls into place and then reads a long random bit stream
// without a bit gained or lost, through the receiver's audio filter, clicks
// and noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "decoders/pocsag/pocsag_bit_clock.h"
#include "support/pocsag_encoder.h"

namespace tolvana {
namespace {

struct ClockCase {
    const char* name;
    double bitRate;
    double periodError; ///< the clock starts this share off the true period
    double snrDb;       ///< 0: no noise
    bool clicks;
};

class PocsagBitClock : public ::testing::TestWithParam<ClockCase> {};

TEST_P(PocsagBitClock, ReadsEveryBitInStep) {
    const ClockCase& c = GetParam();
    std::mt19937 gen(static_cast<std::uint32_t>(c.bitRate));
    std::vector<bool> bits;
    for (int i = 0; i < 576; ++i) {
        bits.push_back(i % 2 == 0); // the preamble
    }
    std::vector<bool> data;
    for (int i = 0; i < 3000; ++i) {
        data.push_back(gen() % 2 == 1);
    }
    bits.insert(bits.end(), data.begin(), data.end());
    test::Signal s = test::renderPocsag(bits, test::PocsagAir{c.bitRate, 8000.0, false, 0.0, 0.4});
    if (c.snrDb > 0) {
        test::addNoise(s, c.snrDb, 3);
    }
    test::lowPass(s, c.bitRate);
    if (c.clicks) {
        // Discriminator clicks of one sample at twice full swing, about 60
        // a second, straight into the clock (in the receiver the click
        // filter takes most of them out first): a sum over a bit period
        // takes them in its stride, and the boundaries hold.
        for (std::size_t at = 500; at + 1 < s.samples.size(); at += 367) {
            s.samples[at] = (at / 367) % 2 == 0 ? 16000.0 : -16000.0;
        }
    }
    s.samples.resize((s.samples.size() / kBlockFrames + 1) * kBlockFrames, 0.0);

    pocsag::BitClock clock;
    const double period = kSampleRate / c.bitRate;
    std::vector<bool> out;
    const std::size_t preambleEnd = static_cast<std::size_t>(576 * period);
    for (std::size_t at = 0; at < s.samples.size(); at += kBlockFrames) {
        ChannelBlock block;
        std::copy_n(s.samples.begin() + static_cast<std::ptrdiff_t>(at), kBlockFrames, block.begin());
        if (at == 2 * kBlockFrames) {
            clock.start(block, period * (1.0 + c.periodError));
        }
        pocsag::BitClock::Bits got;
        const std::size_t n = clock.run(block, got, at < preambleEnd);
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(got[i] != 0);
        }
        clock.keepTail(block);
    }
    EXPECT_TRUE(clock.locked());
    EXPECT_NEAR(clock.period(), period, 0.01 * period);

    // Where the data starts in what the clock read: the first 64 data bits.
    const auto start = std::search(out.begin(), out.end(), data.begin(), data.begin() + 64);
    ASSERT_NE(start, out.end()) << "the data never came out in step";
    const std::size_t offset = static_cast<std::size_t>(start - out.begin());
    ASSERT_GE(out.size(), offset + data.size());
    std::size_t errors = 0;
    std::size_t firstError = data.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (out[offset + i] != data[i]) {
            ++errors;
            firstError = std::min(firstError, i);
        }
    }
    // A slip would show as about half the bits after it wrong.
    EXPECT_LE(errors, c.snrDb > 0 ? 6u : 0u) << "first at data bit " << firstError;
}

INSTANTIATE_TEST_SUITE_P(Cases, PocsagBitClock,
                         ::testing::Values(ClockCase{"Clean512", 512, 0.0, 0, false},
                                           ClockCase{"Slow1200", 1200, 0.03, 0, false},
                                           ClockCase{"Fast2400", 2400, -0.03, 0, false},
                                           ClockCase{"Clicks1200", 1200, 0.02, 0, true},
                                           ClockCase{"Noisy2400", 2400, 0.02, 8, false},
                                           ClockCase{"Noisy512", 512, -0.02, 4, false}),
                         [](const ::testing::TestParamInfo<ClockCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace tolvana

namespace tolvana {
namespace {

// Samples that are no numbers (a caller with its own scaling gone wrong):
// the clock goes on giving a bit per bit period, so that the receiver
// still reaches the end of the transmission, and takes up the signal again.
TEST(PocsagBitClockInput, NoNumbersDoNotStopTheClock) {
    std::vector<bool> bits;
    for (int i = 0; i < 4000; ++i) {
        bits.push_back(i % 2 == 0 || (i > 600 && i % 7 == 3));
    }
    test::Signal s = test::renderPocsag(bits, test::PocsagAir{1200, 8000.0, false, 1200.0, 0.0});
    pocsag::BitClock clock;
    const double period = kSampleRate / 1200.0;
    std::size_t total = 0;
    const std::size_t blocks = s.samples.size() / kBlockFrames;
    for (std::size_t b = 0; b < blocks; ++b) {
        ChannelBlock block;
        std::copy_n(s.samples.begin() + static_cast<std::ptrdiff_t>(b * kBlockFrames), kBlockFrames, block.begin());
        if (b == 6 || b == 9) {
            block.fill(std::numeric_limits<double>::quiet_NaN());
        }
        if (b == 7) {
            block.fill(std::numeric_limits<double>::infinity());
        }
        if (b == 0) {
            clock.start(block, period);
        }
        pocsag::BitClock::Bits got;
        total += clock.run(block, got, b < 4);
        clock.keepTail(block);
    }
    EXPECT_NEAR(static_cast<double>(total), static_cast<double>(blocks * kBlockFrames) / period, 3.0);
    EXPECT_TRUE(std::isfinite(clock.period()));
    EXPECT_TRUE(clock.locked());
}

} // namespace
} // namespace tolvana
