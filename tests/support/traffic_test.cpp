// The generated traffic must say exactly what its audio holds, whatever the
// options: the comparison with other decoders and the long run count on it.
// Each case renders traffic, decodes it through the dispatcher and compares
// the receptions with the expected lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/traffic.h"

namespace tolvana::test {
namespace {

// Export lines of what the decoders reported, "L\t##...#+" as expected lines are.
std::multiset<std::string> decode(const Traffic& traffic) {
    const std::vector<std::int16_t> pcm = traffic.stereoPcm();
    CollectingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    std::vector<std::int16_t> buffer(kBufferValues, 0);
    // One second of silence after the end closes a transmission that runs up to it.
    const std::size_t total = pcm.size() + 2 * kSampleRate;
    for (std::size_t at = 0; at < total; at += kBufferValues) {
        std::fill(buffer.begin(), buffer.end(), std::int16_t{0});
        if (at < pcm.size()) {
            std::copy_n(pcm.begin() + static_cast<std::ptrdiff_t>(at), std::min<std::size_t>(kBufferValues, pcm.size() - at),
                        buffer.begin());
        }
        dispatcher.dispatchBuffer(std::span<const std::int16_t, kBufferValues>(buffer.data(), kBufferValues),
                                  TimePoint{});
    }
    std::multiset<std::string> out;
    const auto side = [](ChannelSide s) { return std::string(1, sideLetter(s)) + "\t"; };
    for (const FmsEvent& e : sink.plausibleFms()) {
        const FmsTelegram& t = e.reception.telegram;
        out.insert(side(e.side) + "##FMS#" + t.kennung + "#" + std::to_string(t.status) + "#" +
                   std::to_string(t.tki) + std::to_string(t.richtung) + "#+");
    }
    for (const ZveiEvent& e : sink.only<ZveiEvent>()) {
        out.insert(side(e.side) + "##ZVEI#" + e.sequence.number + "##+");
    }
    for (const PocsagEvent& e : sink.only<PocsagEvent>()) {
        out.insert(side(e.side) + "##POC#" + std::to_string(e.page.ric) + "#" + std::to_string(e.page.function) +
                   "#" + e.page.text + "#+");
    }
    return out;
}

std::multiset<std::string> expectedLines(const Traffic& traffic) {
    const std::vector<std::string> lines = traffic.printedLines();
    return {lines.begin(), lines.end()};
}

int countOf(const Traffic& traffic, ChannelSide side) {
    return static_cast<int>(std::count_if(traffic.expected.begin(), traffic.expected.end(),
                                          [&](const ExpectedReception& e) { return e.side == side; }));
}

struct Case {
    const char* name;
    TrafficOptions options;
};

TrafficOptions withCount(TrafficOptions o, int count) {
    o.count = count;
    o.minGapSeconds = 0.5;
    o.maxGapSeconds = 1.0;
    return o;
}

std::vector<Case> cases() {
    TrafficOptions pager512;
    pager512.fms = pager512.zvei = false;
    pager512.pocsagRates = {512.0};
    pager512.pocsagPolarity = TrafficOptions::Polarity::Inverted;
    pager512.right = false;

    TrafficOptions pager2400 = pager512;
    pager2400.pocsagRates = {2400.0};
    pager2400.pocsagPolarity = TrafficOptions::Polarity::Normal;
    pager2400.seed = 3;

    TrafficOptions fleet;
    fleet.zvei = fleet.pocsag = false;
    fleet.kennungs = {"6A123456", "61999999", "4F712345"};
    fleet.seed = 5;

    TrafficOptions calls;
    calls.fms = calls.pocsag = false;
    calls.left = false;
    calls.seed = 9;

    TrafficOptions mixed;
    mixed.seed = 11;
    mixed.snrDb = 25.0;

    return {{"Pager512Inverted", withCount(pager512, 4)}, {"Pager2400Normal", withCount(pager2400, 6)},
            {"FmsFleetBothChannels", withCount(fleet, 8)}, {"CallsRightOnly", withCount(calls, 8)},
            {"MixedWithNoise", withCount(mixed, 8)}};
}

class GeneratedTraffic : public ::testing::TestWithParam<Case> {};

TEST_P(GeneratedTraffic, DecodesToExactlyTheExpectedLines) {
    const TrafficOptions& o = GetParam().options;
    const Traffic traffic = makeTraffic(o);
    EXPECT_EQ(countOf(traffic, ChannelSide::Left), o.left ? o.count : 0);
    EXPECT_EQ(countOf(traffic, ChannelSide::Right), o.right ? o.count : 0);
    EXPECT_EQ(traffic.left.samples.size(), traffic.right.samples.size());
    // Every transmission ends inside the recording.
    for (const ExpectedReception& e : traffic.expected) {
        EXPECT_LE(e.endSeconds, traffic.left.seconds()) << e.line;
    }
    EXPECT_EQ(decode(traffic), expectedLines(traffic));
}

TEST_P(GeneratedTraffic, UsesOnlyTheChosenSystemsAndIdentities) {
    const TrafficOptions& o = GetParam().options;
    const Traffic traffic = makeTraffic(o);
    const std::set<std::string> fleet(o.kennungs.begin(), o.kennungs.end());
    for (const ExpectedReception& e : traffic.expected) {
        const bool fms = e.line.starts_with("##FMS#");
        EXPECT_TRUE((fms && o.fms) || (e.line.starts_with("##ZVEI#") && o.zvei) ||
                    (e.line.starts_with("##POC#") && o.pocsag))
            << e.line;
        if (fms && !fleet.empty()) {
            EXPECT_TRUE(fleet.contains(e.line.substr(6, 8))) << e.line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Options, GeneratedTraffic, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

// The pager rates are what the bit timing says: a message at 512 bit/s lasts
// 2400/512 times as long on the air as the same message at 2400 bit/s.
TEST(GeneratedTraffic, PagerRateSetsTheLengthOnTheAir) {
    std::map<double, double> seconds;
    for (double rate : {512.0, 2400.0}) {
        TrafficOptions o;
        o.fms = o.zvei = false;
        o.right = false;
        o.count = 1;
        o.minGapSeconds = o.maxGapSeconds = 0.5;
        o.pocsagRates = {rate};
        const Traffic t = makeTraffic(o);
        // Lead 0.5 s, 0.05 s before and 0.2 s after the burst, then the gap.
        seconds[rate] = t.left.seconds() - 0.5 - 0.05 - 0.2 - 0.5;
    }
    EXPECT_NEAR(seconds[512.0] / seconds[2400.0], 2400.0 / 512.0, 0.01);
}

} // namespace
} // namespace tolvana::test
