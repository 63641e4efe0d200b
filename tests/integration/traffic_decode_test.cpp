// Whole recordings of mixed radio traffic through the dispatcher and all six
// chains: every reception the generator put in comes out exactly once, on its
// channel, in order, at the right moment of the recording clock, and nothing
// else does. And signals that carry no traffic never give a reception.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "integration/decode_rig.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/traffic.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {
namespace {

struct TrafficCase {
    const char* name;
    std::uint32_t seed;
    double snrDb; ///< not finite: no noise
    double seconds;
};

void PrintTo(const TrafficCase& c, std::ostream* os) { *os << c.name; }

class MixedTraffic : public ::testing::TestWithParam<TrafficCase> {};

// A reception is handed on when its transmission is over: FMS at once, ZVEI
// a few tone-ring entries after the fifth tone, POCSAG when the receiver has
// lost the bit stream. The generator's end of a transmission includes the
// quiet tail it leaves behind each one (at most 0.3 s).
constexpr double kQuietTailSeconds = 0.3;
constexpr double kLongestHandOnSeconds = 1.0;

double secondsIn(TimePoint t) {
    return static_cast<double>((t - kRecordingStart).count()) / 1000.0;
}

TEST_P(MixedTraffic, EveryReceptionOnceInOrderAndNothingElse) {
    const TrafficCase& c = GetParam();
    TrafficOptions options;
    options.seconds = c.seconds;
    options.seed = c.seed;
    options.snrDb = c.snrDb;
    const Traffic traffic = makeTraffic(options);
    ASSERT_GT(traffic.expected.size(), 60u); // enough of each kind to mean something

    LineSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    decodePcm(traffic.stereoPcm(), dispatcher);

    for (const ChannelSide side : {ChannelSide::Left, ChannelSide::Right}) {
        SCOPED_TRACE(sideLetter(side));
        std::vector<const ExpectedReception*> sent;
        for (const ExpectedReception& e : traffic.expected) {
            if (e.side == side) {
                sent.push_back(&e);
            }
        }
        std::vector<const Heard*> got;
        for (const Heard& h : sink.heard) {
            if (h.side == side) {
                got.push_back(&h);
            }
        }
        std::vector<std::string> sentLines;
        for (const ExpectedReception* e : sent) {
            sentLines.push_back(e->line);
        }
        ASSERT_EQ(sink.lines(side), sentLines);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE(sent[i]->line);
            const double at = secondsIn(got[i]->time);
            EXPECT_GE(at, sent[i]->endSeconds - kQuietTailSeconds - 0.1);
            EXPECT_LE(at, sent[i]->endSeconds + kLongestHandOnSeconds);
            if (sent[i]->line.rfind("##FMS#", 0) == 0) {
                EXPECT_EQ(got[i]->text, sent[i]->text);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, MixedTraffic,
    ::testing::Values(TrafficCase{"Seed1Clean", 1, INFINITY, 150.0},
                      TrafficCase{"Seed2Clean", 2, INFINITY, 150.0},
                      TrafficCase{"Seed1Snr25", 1, 25.0, 150.0},
                      TrafficCase{"Seed4Snr25", 4, 25.0, 150.0}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// A recording that stops the moment a transmission ends (a recorder switched
// off, a file cut short): the reception is still handed on, thanks to the
// silence the recording input adds behind the last buffer.

struct LastTransmission {
    const char* name;
    Signal (*make)();
    std::string line;
};

void PrintTo(const LastTransmission& c, std::ostream* os) { *os << c.name; }

class RecordingEndsWith : public ::testing::TestWithParam<LastTransmission> {};

TEST_P(RecordingEndsWith, ItsLastReceptionIsStillHandedOn) {
    Signal left = silence(0.5);
    left.append(GetParam().make());
    const LineSink sink = decodeStereo(left, silence(0.1));
    EXPECT_EQ(sink.lines(ChannelSide::Left), std::vector<std::string>{GetParam().line});
}

Signal endingAlarm() {
    FmsEncoder::Options o;
    o.tailSeconds = 0.0;
    return FmsEncoder(o).digitalAlarm(FmsFields{"62345678", 10, 1, 0, 0}, "F1 Kamin");
}

Signal endingCall() { return ZveiEncoder().call("12345", 0.0, 0.0); }

Signal endingPage() {
    PocsagCall call;
    call.ric = 1234567;
    call.function = 1;
    call.content = "Letzte Meldung";
    PocsagAir air;
    air.bitRate = 512.0;
    air.lowPassHz = 512.0;
    return pocsagTransmission({call}, air);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, RecordingEndsWith,
    ::testing::Values(LastTransmission{"DigitalAlarm", endingAlarm, "##FMS#62345678#10#01#+"},
                      LastTransmission{"FiveToneCall", endingCall, "##ZVEI#12345##+"},
                      LastTransmission{"Page512", endingPage, "##POC#1234567#1#Letzte Meldung#+"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Signals without traffic: the quiet receiver, an open squelch, a receiver
// driven into clipping, a DC offset from a coupled output. Each channel gets
// its own, so both sides' chains see every shape.

struct Hostile {
    const char* name;
    Signal (*make)(double seconds, std::uint32_t seed);
};

Signal digitalSilence(double seconds, std::uint32_t) { return silence(seconds); }

Signal hiss(double seconds, std::uint32_t seed) {
    Signal s = silence(seconds);
    addNoiseRms(s, 300.0, seed);
    return s;
}

Signal openSquelch(double seconds, std::uint32_t seed) {
    Signal s = silence(seconds);
    addNoiseRms(s, 8000.0, seed);
    return s;
}

// Noise far above full scale: after rounding to 16 bit almost every sample
// sits at one of the two rails.
Signal clippedNoise(double seconds, std::uint32_t seed) {
    Signal s = silence(seconds);
    addNoiseRms(s, 60000.0, seed);
    return s;
}

// Full-scale square waves, a few seconds each, on the frequencies the
// decoders listen for: a pager preamble at 1200 and 2400 bit/s (600 and
// 1200 Hz), the FMS mark tone (1200 Hz), ZVEI digit 1 (1060 Hz), the call
// tone band (1750 Hz), mains hum (50 Hz).
Signal clippedSquares(double seconds, std::uint32_t) {
    const double frequencies[] = {50.0, 600.0, 1060.0, 1200.0, 1750.0, 2400.0};
    Signal s;
    const double each = seconds / std::size(frequencies);
    for (const double f : frequencies) {
        const auto n = static_cast<std::size_t>(each * kSampleRate);
        for (std::size_t i = 0; i < n; ++i) {
            const double phase = std::fmod(static_cast<double>(i) * f / kSampleRate, 1.0);
            s.samples.push_back(phase < 0.5 ? 32767.0 : -32768.0);
        }
    }
    return s;
}

Signal offsetWithHiss(double seconds, std::uint32_t seed) {
    Signal s = silence(seconds);
    addNoiseRms(s, 200.0, seed);
    for (double& x : s.samples) {
        x += 12000.0;
    }
    return s;
}

// A squelch that opens and closes: the offset jumps between two levels every
// 0.3 s, each jump a click the decoders must not take for anything.
Signal offsetSteps(double seconds, std::uint32_t seed) {
    Signal s = silence(seconds);
    addNoiseRms(s, 100.0, seed);
    const auto step = static_cast<std::size_t>(0.3 * kSampleRate);
    for (std::size_t i = 0; i < s.samples.size(); ++i) {
        s.samples[i] += (i / step) % 2 == 0 ? -20000.0 : 15000.0;
    }
    return s;
}

constexpr Hostile kHostile[] = {
    {"silence", digitalSilence}, {"hiss", hiss},           {"open squelch", openSquelch},
    {"clipped noise", clippedNoise}, {"clipped squares", clippedSquares},
    {"offset", offsetWithHiss},  {"offset steps", offsetSteps},
};

TEST(HostileSignals, NeverGiveAReception) {
    constexpr double kSeconds = 20.0;
    for (std::size_t i = 0; i < std::size(kHostile); ++i) {
        // Left gets shape i, right the next one, so every shape runs on both sides.
        const Hostile& left = kHostile[i];
        const Hostile& right = kHostile[(i + 1) % std::size(kHostile)];
        SCOPED_TRACE(std::string(left.name) + " / " + right.name);
        const LineSink sink = decodeStereo(left.make(kSeconds, static_cast<std::uint32_t>(10 + i)),
                                           right.make(kSeconds, static_cast<std::uint32_t>(20 + i)));
        std::string heard;
        for (const Heard& h : sink.heard) {
            heard += std::string(1, sideLetter(h.side)) + " " + h.line + "\n";
        }
        EXPECT_TRUE(sink.heard.empty()) << heard;
    }
}

} // namespace
} // namespace tolvana::test
