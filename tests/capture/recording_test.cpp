// Decoding a recording on two threads (one per channel) must hand the sink
// and the per-buffer callback exactly what one thread hands them, in the same
// order: receptions of a buffer, left before right, then the callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/recording.h"
#include "support/traffic.h"

namespace tolvana {
namespace {

// A recording held in memory, read in whatever pieces the caller asks for.
class MemorySource final : public AudioSource {
public:
    explicit MemorySource(std::vector<std::int16_t> interleaved) : m_pcm(std::move(interleaved)) {}
    std::size_t readFrames(std::span<std::int16_t> out) override {
        const std::size_t frames = std::min(out.size() / 2, (m_pcm.size() - m_at) / 2);
        std::copy_n(m_pcm.begin() + static_cast<std::ptrdiff_t>(m_at), 2 * frames, out.begin());
        m_at += 2 * frames;
        return frames;
    }
    std::string describe() const override { return "memory"; }
    const std::string& readError() const override { return m_error; }

private:
    std::vector<std::int16_t> m_pcm;
    std::size_t m_at = 0;
    std::string m_error;
};

std::string at(TimePoint t) { return std::to_string(t.time_since_epoch().count()); }

// Everything the sink and the callback see, as one line each, in order.
class Log final : public ReceptionSink {
public:
    void fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) override {
        const FmsTelegram& t = r.telegram;
        add(side, "FMS " + t.kennung + " " + std::to_string(t.tki) + " " + std::to_string(t.status) + " " +
                      std::to_string(t.richtung) + " " + (r.plausible ? "ok " : "bad ") + r.followUpText,
            time);
    }
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override {
        add(side, toneCallText(tone), time);
    }
    void zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) override {
        add(side, "ZVEI " + s.number, time);
    }
    void pocsagPage(ChannelSide side, const PocsagPage& p, TimePoint time) override {
        add(side, "POC " + std::to_string(p.ric) + " " + std::to_string(p.function) + " " + p.text, time);
    }
    bool buffer(const RecordingProgress& p) {
        const LevelMeters& m = p.meters;
        lines.push_back("buffer " + std::to_string(p.frames) + " " + at(p.time) + " " + std::to_string(m.meanLeft) +
                        " " + std::to_string(m.peakLeft) + " " + std::to_string(m.meanRight) + " " +
                        std::to_string(m.peakRight));
        return true;
    }
    std::size_t receptions(ChannelSide side) const {
        const std::string prefix(1, sideLetter(side));
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.rfind(prefix + " ", 0) == 0;
        }));
    }

    std::vector<std::string> lines;

private:
    void add(ChannelSide side, const std::string& what, TimePoint time) {
        lines.push_back(std::string(1, sideLetter(side)) + " " + what + " @" + at(time));
    }
};

struct DecodeRun {
    std::vector<std::string> lines;
    RecordingResult result;
};

const TimePoint kStart{std::chrono::milliseconds(1'800'000'000'000)};

// `stopAfter` buffers (0: never) ends the run from the callback.
DecodeRun decode(const std::vector<std::int16_t>& pcm, const DecoderSwitches& switches, int threads,
           std::uint64_t stopAfter = 0) {
    MemorySource source(pcm);
    Log log;
    Dispatcher dispatcher(log, switches, 7);
    DecodeRun run;
    std::uint64_t buffers = 0;
    run.result = decodeRecording(
        source, dispatcher, kStart,
        [&](const RecordingProgress& p) {
            log.buffer(p);
            return stopAfter == 0 || ++buffers < stopAfter;
        },
        threads);
    run.lines = std::move(log.lines);
    return run;
}

void expectSame(const DecodeRun& one, const DecodeRun& two) {
    EXPECT_EQ(two.result.frames, one.result.frames);
    EXPECT_EQ(two.result.buffers, one.result.buffers);
    ASSERT_EQ(two.lines.size(), one.lines.size());
    for (std::size_t i = 0; i < one.lines.size(); ++i) {
        ASSERT_EQ(two.lines[i], one.lines[i]) << "line " << i;
    }
}

DecoderSwitches leftOnly() {
    DecoderSwitches s = DecoderSwitches::all();
    s.fms[1] = s.zvei[1] = s.pocsag[1] = false;
    return s;
}

DecoderSwitches mixed() {
    DecoderSwitches s;
    s.fms = {true, false};
    s.zvei = {false, true};
    s.pocsag = {true, true};
    return s;
}

struct TrafficCase {
    const char* name;
    double snrDb;
    DecoderSwitches switches;
};

class TwoThreadTraffic : public ::testing::TestWithParam<TrafficCase> {};

// Busy traffic of every kind on both channels: each reception, its time and
// its place among the callbacks must come out as from one thread.
TEST_P(TwoThreadTraffic, GivesWhatOneThreadGives) {
    test::TrafficOptions options;
    options.seconds = 100.0;
    options.seed = 11;
    options.snrDb = GetParam().snrDb;
    const std::vector<std::int16_t> pcm = test::makeTraffic(options).stereoPcm();

    const DecodeRun one = decode(pcm, GetParam().switches, 1);
    const DecodeRun two = decode(pcm, GetParam().switches, 2);
    expectSame(one, two);

    // The comparison means something only if both sides reported plenty.
    Log count;
    count.lines = one.lines;
    EXPECT_GT(count.receptions(ChannelSide::Left), 10u);
    if (GetParam().switches.fms[1] || GetParam().switches.zvei[1] || GetParam().switches.pocsag[1]) {
        EXPECT_GT(count.receptions(ChannelSide::Right), 10u);
    } else {
        EXPECT_EQ(count.receptions(ChannelSide::Right), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Recording, TwoThreadTraffic,
                         ::testing::Values(TrafficCase{"Clean", std::numeric_limits<double>::infinity(),
                                                       DecoderSwitches::all()},
                                           TrafficCase{"Noisy", 20.0, DecoderSwitches::all()},
                                           TrafficCase{"LeftOnly", 20.0, leftOnly()},
                                           TrafficCase{"Mixed", 20.0, mixed()}),
                         [](const auto& param) { return std::string(param.param.name); });

// Lengths around the threads' batches of 32 buffers, including none at all:
// every buffer, the padded last one and the second of silence after it.
TEST(TwoThreadRecording, AnyLengthGivesTheSameBuffers) {
    test::TrafficOptions options;
    options.seconds = 6.0;
    options.seed = 5;
    const std::vector<std::int16_t> traffic = test::makeTraffic(options).stereoPcm();
    for (const std::size_t frames : {std::size_t{0}, std::size_t{1}, std::size_t{1024}, std::size_t{10 * 1024},
                                     std::size_t{10 * 1024 + 1}, std::size_t{42 * 1024 - 1}, std::size_t{74 * 1024},
                                     traffic.size() / 2}) {
        SCOPED_TRACE(frames);
        const std::vector<std::int16_t> pcm(traffic.begin(), traffic.begin() + static_cast<std::ptrdiff_t>(2 * frames));
        const DecodeRun one = decode(pcm, DecoderSwitches::all(), 1);
        expectSame(one, decode(pcm, DecoderSwitches::all(), 2));
        EXPECT_EQ(one.result.buffers, (frames + 1023) / 1024 + 22);
    }
}

// A callback that stops the run: nothing after that buffer reaches the
// sink, though the threads may have decoded further.
TEST(TwoThreadRecording, StoppingEndsAtTheSameBuffer) {
    test::TrafficOptions options;
    options.seconds = 40.0;
    options.seed = 8;
    const std::vector<std::int16_t> pcm = test::makeTraffic(options).stereoPcm();
    for (const std::uint64_t stop : {1u, 31u, 32u, 33u, 500u}) {
        SCOPED_TRACE(stop);
        const DecodeRun one = decode(pcm, DecoderSwitches::all(), 1, stop);
        expectSame(one, decode(pcm, DecoderSwitches::all(), 2, stop));
        EXPECT_EQ(one.result.buffers, stop);
    }
}

class ThrowingSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override { fail(); }
    void toneCall(ChannelSide, ToneCall, TimePoint) override { fail(); }
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override { fail(); }
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override { fail(); }

private:
    static void fail() { throw std::runtime_error("sink failed"); }
};

// A failing hand-off surfaces on the calling thread; the channel threads are
// stopped and joined, not left running or aborting the program.
TEST(TwoThreadRecording, AFailingSinkIsReportedToTheCaller) {
    test::TrafficOptions options;
    options.seconds = 20.0;
    options.seed = 3;
    MemorySource source(test::makeTraffic(options).stereoPcm());
    ThrowingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    EXPECT_THROW(decodeRecording(source, dispatcher, kStart, {}, 2), std::runtime_error);
}

} // namespace
} // namespace tolvana
