// Level meters, channel split and the writing of the chains' input blocks.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/traffic.h"

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

// One line per reception, with its side and time.
std::vector<std::string> describe(const std::vector<test::Event>& events) {
    std::vector<std::string> lines;
    for (const test::Event& e : events) {
        std::string line = std::visit(
            [](const auto& r) {
                return std::string(1, sideLetter(r.side)) + " @" + std::to_string(r.time.time_since_epoch().count());
            },
            e);
        if (const auto* fms = std::get_if<test::FmsEvent>(&e)) {
            const FmsTelegram& t = fms->reception.telegram;
            line += " FMS " + t.kennung + " " + std::to_string(t.tki) + " " + std::to_string(t.status) + " " +
                    std::to_string(t.richtung) + (fms->reception.plausible ? " ok " : " bad ") +
                    fms->reception.followUpText;
        } else if (const auto* tone = std::get_if<test::ToneEvent>(&e)) {
            line += std::string(" ") + toneCallText(tone->tone);
        } else if (const auto* zvei = std::get_if<test::ZveiEvent>(&e)) {
            line += " ZVEI " + zvei->sequence.number;
        } else if (const auto* page = std::get_if<test::PocsagEvent>(&e)) {
            line += " POC " + std::to_string(page->page.ric) + " " + std::to_string(page->page.function) + " " +
                    page->page.text;
        }
        lines.push_back(line);
    }
    return lines;
}

// Everything a front end carries to the next buffer, as bits.
std::vector<std::uint64_t> frontState(const CrossingFront& f) {
    std::vector<std::uint64_t> bits{f.dither.state(), std::bit_cast<std::uint64_t>(f.crossings.previous),
                                    std::bit_cast<std::uint64_t>(f.crossings.rising),
                                    std::bit_cast<std::uint64_t>(f.crossings.falling)};
    for (std::size_t k = 0; k < f.filter.last.size(); ++k) {
        bits.push_back(std::bit_cast<std::uint64_t>(f.filter.last[k]));
        bits.push_back(std::bit_cast<std::uint64_t>(f.filter.beforeLast[k]));
    }
    return bits;
}

struct BothSidesCase {
    const char* name;
    DecoderSwitches switches;
    bool splitBlocks; ///< dispatchBlock instead of dispatchBuffer
};

class DispatcherBothSides : public ::testing::TestWithParam<BothSidesCase> {};

// A buffer at once (both sides' FMS and five-tone front ends in one pass
// where both sides run them) against each side on its own, as the channel
// threads run them: the same receptions in the same order, the same meters,
// and after every buffer the same state in every front end, bit for bit.
// The traffic has every kind on both channels, so each side in turn waits
// for follow-up telegrams, sits out a buffer after a five-tone sequence and
// holds its receiver for a page while the other does not.
TEST_P(DispatcherBothSides, OnePassGivesWhatEachSideGivesAlone) {
    test::TrafficOptions options;
    options.seconds = 60.0;
    options.seed = 5;
    options.snrDb = 15.0;
    options.minGapSeconds = 0.3;
    options.maxGapSeconds = 1.5;
    const std::vector<std::int16_t> pcm = test::makeTraffic(options).stereoPcm();
    const BothSidesCase& c = GetParam();

    test::CollectingSink bothSink;
    test::CollectingSink sidesSink;
    Dispatcher both(bothSink, c.switches, 3);
    Dispatcher sides(sidesSink, c.switches, 3);
    for (std::size_t b = 0; (b + 1) * kBufferValues <= pcm.size(); ++b) {
        const std::span<const std::int16_t, kBufferValues> buffer(pcm.data() + b * kBufferValues, kBufferValues);
        const TimePoint now{std::chrono::milliseconds(46 * static_cast<std::int64_t>(b))};
        LevelMeters meters;
        if (c.splitBlocks) {
            std::array<std::int16_t, kBlockFrames> left;
            std::array<std::int16_t, kBlockFrames> right;
            for (std::size_t n = 0; n < kBlockFrames; ++n) {
                left[n] = buffer[2 * n];
                right[n] = buffer[2 * n + 1];
            }
            meters = both.dispatchBlock(left, right, now);
        } else {
            meters = both.dispatchBuffer(buffer, now);
        }
        const ChannelLevel l = sides.dispatchSide(ChannelSide::Left, buffer.data(), 2, now);
        const ChannelLevel r = sides.dispatchSide(ChannelSide::Right, buffer.data() + 1, 2, now);
        ASSERT_EQ(meters, (LevelMeters{l.mean, l.peak, r.mean, r.peak})) << "buffer " << b;
        for (const ChannelSide side : {ChannelSide::Left, ChannelSide::Right}) {
            ASSERT_EQ(frontState(both.fms(side).front()), frontState(sides.fms(side).front()))
                << "buffer " << b << ", FMS " << sideLetter(side);
            ASSERT_EQ(frontState(both.zvei(side).front()), frontState(sides.zvei(side).front()))
                << "buffer " << b << ", ZVEI " << sideLetter(side);
        }
    }
    const std::vector<std::string> got = describe(bothSink.events);
    EXPECT_EQ(got, describe(sidesSink.events));
    // The comparison means something only if both sides reported plenty.
    std::array<int, 2> perSide{};
    for (const std::string& line : got) {
        ++perSide[line[0] == 'L' ? 0 : 1];
    }
    EXPECT_GT(perSide[0], 10);
    EXPECT_GT(perSide[1], 10);
}

DecoderSwitches withoutPocsagRight() {
    DecoderSwitches s = DecoderSwitches::all();
    s.pocsag[1] = false;
    return s;
}

DecoderSwitches noPairRight() {
    DecoderSwitches s = DecoderSwitches::all();
    s.zvei[1] = false;
    return s;
}

INSTANTIATE_TEST_SUITE_P(Traffic, DispatcherBothSides,
                         ::testing::Values(BothSidesCase{"AllChains", DecoderSwitches::all(), false},
                                           BothSidesCase{"AllChainsSplitBlocks", DecoderSwitches::all(), true},
                                           BothSidesCase{"NoPagerRight", withoutPocsagRight(), false},
                                           BothSidesCase{"NoFiveToneRight", noPairRight(), false}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace tolvana
