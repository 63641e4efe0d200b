// Level meters, channel split and the writing of the chains' input blocks.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"

namespace tolvana {
namespace {

using Buffer = std::array<std::int16_t, kBufferValues>;

Buffer stereo(auto leftAt, auto rightAt) {
    Buffer b{};
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        b[2 * n] = static_cast<std::int16_t>(leftAt(n));
        b[2 * n + 1] = static_cast<std::int16_t>(rightAt(n));
    }
    return b;
}

TEST(DispatcherMeters, SilenceReadsZeroOnAllFourMeters) {
    test::CollectingSink sink;
    Dispatcher d(sink, DecoderSwitches::all());
    const Buffer zero{};
    EXPECT_EQ(d.dispatchBuffer(zero, TimePoint{}), (LevelMeters{0, 0, 0, 0}));
    for (ChannelSide side : {ChannelSide::Left, ChannelSide::Right}) {
        for (double v : d.fms(side).block()) {
            ASSERT_EQ(v, 0.0);
        }
    }
}

TEST(DispatcherMeters, FullScaleIsLimitedTo32760) {
    test::CollectingSink sink;
    Dispatcher d(sink, DecoderSwitches{});
    const Buffer square = stereo([](std::size_t n) { return n % 2 ? 32767 : -32767; },
                                 [](std::size_t) { return -32768; });
    EXPECT_EQ(d.dispatchBuffer(square, TimePoint{}), (LevelMeters{32760, 32760, 32760, 32760}));
}

TEST(DispatcherMeters, MeanRoundsHalfToEven) {
    test::CollectingSink sink;
    Dispatcher d(sink, DecoderSwitches{});
    // Left: sum 512 + 1024*k over 1024 samples gives k + 0.5.
    // 2.5 rounds to 2 (even), 3.5 rounds to 4.
    const auto halfAbove = [](int k) {
        return [k](std::size_t n) { return n < 512 ? k + 1 : k; };
    };
    auto m = d.dispatchBuffer(stereo(halfAbove(2), halfAbove(3)), TimePoint{});
    EXPECT_EQ(m.meanLeft, 2);
    EXPECT_EQ(m.meanRight, 4);
    EXPECT_EQ(m.peakLeft, 3);
    EXPECT_EQ(m.peakRight, 4);
    // Negative values count by their magnitude; -32768 is limited like any other.
    m = d.dispatchBuffer(stereo([](std::size_t n) { return n == 0 ? -32768 : -1; },
                                [](std::size_t n) { return n < 513 ? -2 : -1; }),
                         TimePoint{});
    EXPECT_EQ(m.peakLeft, 32760);
    EXPECT_EQ(m.meanLeft, 33); // (32768 + 1023) / 1024 = 32.99
    EXPECT_EQ(m.meanRight, 2); // 1.501 rounds up
}

TEST(DispatcherBlocks, OnlySwitchedOnChainsGetTheirChannel) {
    test::CollectingSink sink;
    DecoderSwitches s;
    s.fms = {true, false};
    s.zvei = {false, true};
    s.pocsag = {true, true};
    Dispatcher d(sink, s);
    // Mark every block so that an untouched one is recognisable.
    for (ChannelSide side : {ChannelSide::Left, ChannelSide::Right}) {
        d.fms(side).block().fill(-7.0);
        d.zvei(side).block().fill(-7.0);
        d.pocsag(side).block().fill(-7.0);
    }
    const Buffer b = stereo([](std::size_t n) { return static_cast<int>(n); },
                            [](std::size_t n) { return -static_cast<int>(n); });
    const LevelMeters m = d.dispatchBuffer(b, TimePoint{});
    EXPECT_EQ(m.peakLeft, 1023);
    EXPECT_EQ(m.peakRight, 1023);

    // The chains process their blocks in place, so compare what they could not
    // have touched: the switched-off blocks must still hold the mark.
    for (double v : d.fms(ChannelSide::Right).block()) {
        ASSERT_EQ(v, -7.0);
    }
    for (double v : d.zvei(ChannelSide::Left).block()) {
        ASSERT_EQ(v, -7.0);
    }
}

TEST(DispatcherBlocks, SplitAndDirectBlocksGiveTheSameMeters) {
    test::CollectingSink sink;
    Dispatcher d(sink, DecoderSwitches{});
    std::array<std::int16_t, kBlockFrames> left{};
    std::array<std::int16_t, kBlockFrames> right{};
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        left[n] = static_cast<std::int16_t>((n * 37) % 2000 - 1000);
        right[n] = static_cast<std::int16_t>((n * 91) % 30000);
    }
    Buffer interleaved{};
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        interleaved[2 * n] = left[n];
        interleaved[2 * n + 1] = right[n];
    }
    EXPECT_EQ(d.dispatchBuffer(interleaved, TimePoint{}), d.dispatchBlock(left, right, TimePoint{}));
}

} // namespace
} // namespace tolvana
