// How the three chains of one channel hold each other back, shown on
// back-to-back transmissions: each rule is seen in what is decoded with all
// chains on against what the held chain decodes alone, and buffer by buffer
// in the chains' own progress.
//
//   FMS waiting for follow-ups   -> ZVEI and POCSAG do not run
//   five-tone sequence assembled -> POCSAG skips the rest of that buffer,
//                                   FMS skips the next buffer
//   pager receiver synchronised  -> FMS and ZVEI do not run
#include <gtest/gtest.h>

#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "integration/decode_rig.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {
namespace {

constexpr ChannelSide kL = ChannelSide::Left;

/// What the left chains look like after each buffer.
struct BufferState {
    std::uint64_t fmsEstimates = 0; ///< grows whenever the FMS chain ran on sound
    bool fmsWaiting = false;
    int zveiSequenceDone = 0;
    bool pocsagBusy = false;
    double pocsagBitPeriod = 0.0;   ///< moves whenever the POCSAG chain ran on edges
};

struct ChainRun {
    LineSink sink;
    std::vector<BufferState> buffers;
    ZveiCounters zvei;
};

ChainRun decodeLeft(const Signal& left, const DecoderSwitches& switches) {
    ChainRun run;
    Dispatcher dispatcher(run.sink, switches);
    decodePcm(interleave(toPcm(left), toPcm(silence(0.1))), dispatcher,
              [&](Dispatcher& d, std::uint64_t) {
                  run.buffers.push_back(BufferState{d.fms(kL).demodulator().written(),
                                                    d.fms(kL).followUpPending(),
                                                    d.zvei(kL).sequenceDone(), d.pocsag(kL).busy(),
                                                    d.pocsag(kL).demodulator().bitPeriod()});
              });
    run.zvei = dispatcher.zvei(kL).counters();
    return run;
}

const DecoderSwitches kAll = sideOnly(kL, true, true, true);
const DecoderSwitches kWithoutFms = sideOnly(kL, false, true, true);
const DecoderSwitches kWithoutZvei = sideOnly(kL, true, false, true);
const DecoderSwitches kWithoutPocsag = sideOnly(kL, true, true, false);

const FmsFields kStatus3{"62345678", 3, 0, 2, 0};
const std::string kStatus3Line = "##FMS#62345678#3#20#+";

PocsagCall probealarm() {
    PocsagCall c;
    c.ric = 1234567;
    c.function = 3;
    c.content = "Probealarm";
    return c;
}
const std::string kProbealarmLine = "##POC#1234567#3#Probealarm#+";

Signal page(double bitRate) {
    PocsagAir air;
    air.bitRate = bitRate;
    air.lowPassHz = bitRate;
    return pocsagTransmission({probealarm()}, air);
}

Signal fmsTelegramRightAway() {
    FmsEncoder::Options o;
    o.leadSeconds = 0.0;
    return FmsEncoder(o).telegram(kStatus3);
}

/// Index of the first buffer after which the ZVEI chain had assembled a sequence.
std::size_t sequenceBuffer(const ChainRun& run) {
    for (std::size_t b = 0; b < run.buffers.size(); ++b) {
        if (run.buffers[b].zveiSequenceDone != 0) {
            return b;
        }
    }
    return run.buffers.size();
}

// ---------------------------------------------------------------------------
// A control room's digital alarm whose follow-up telegrams are cut off: the
// first follow-up announces 20 more, none comes. The FMS chain goes on reading
// follow-ups (lost ones as "---") until it has more than announced or reads an
// end mark, and meanwhile the channel's other chains stand still: whatever
// comes right after the alarm is not decoded.

struct Follower {
    const char* name;
    Signal (*make)();
    std::string line;
};

void PrintTo(const Follower& c, std::ostream* os) { *os << c.name; }

Signal cutAlarm() {
    FmsFields f{"62345678", 10, 1, 0, 0};
    return FmsEncoder().transmission(
        {FmsEncoder::telegramBits(f), FmsEncoder::firstFollowUpBits(20, "ABC", false)});
}

class AlarmFollowedBy : public ::testing::TestWithParam<Follower> {};

TEST_P(AlarmFollowedBy, WaitingForFollowUpsHoldsZveiAndPocsag) {
    const Follower& next = GetParam();
    Signal left = silence(0.3);
    left.append(cutAlarm());
    left.append(silence(0.05));
    left.append(next.make());
    // Once the wait is over, the channel's other chains run again.
    left.append(silence(3.0));
    left.append(next.make());
    left.append(silence(0.5));

    const ChainRun all = decodeLeft(left, kAll);
    ASSERT_EQ(all.sink.lines(kL), (std::vector<std::string>{"##FMS#62345678#10#01#+", next.line}));
    // The alarm is handed on once, when its follow-ups have ended: the three
    // characters that came, then whatever the chain read from what followed
    // ("---" for each follow-up it could not read).
    EXPECT_EQ(all.sink.heard[0].text.substr(0, 3), "ABC");
    EXPECT_GT(all.sink.heard[0].text.size(), 3u);

    // The wait lasts half a second at least, long enough to lose what
    // follows. How much longer depends on what the chain reads as follow-ups:
    // tones that slice into clean bits can make one with an end mark, which
    // ends the wait (the five-tone call does so behind the band-pass).
    int waiting = 0;
    for (const BufferState& b : all.buffers) {
        waiting += b.fmsWaiting ? 1 : 0;
    }
    EXPECT_GE(waiting, 11) << "follow-up text " << all.sink.heard[0].text;

    const ChainRun alone = decodeLeft(left, kWithoutFms);
    EXPECT_EQ(alone.sink.lines(kL), (std::vector<std::string>{next.line, next.line}));
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, AlarmFollowedBy,
    ::testing::Values(
        Follower{"FiveToneCall", [] { return ZveiEncoder().call("12345", 0.0, 0.3); }, "##ZVEI#12345##+"},
        Follower{"Page1200", [] { return page(1200.0); }, kProbealarmLine},
        Follower{"Page2400", [] { return page(2400.0); }, kProbealarmLine}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// A five-tone call with an FMS telegram right behind its fifth tone: the
// buffer after the one that assembled the sequence is not given to the FMS
// chain, and the telegram inside it is lost. With a short pause in between
// both come through: the hold lasts one buffer.

TEST(FiveToneSequence, FmsSkipsTheNextBuffer) {
    Signal left = silence(0.3);
    left.append(ZveiEncoder().call("12345", 0.0, 0.0));
    left.append(fmsTelegramRightAway());
    left.append(silence(0.5));

    const ChainRun all = decodeLeft(left, kAll);
    EXPECT_EQ(all.sink.lines(kL), std::vector<std::string>{"##ZVEI#12345##+"});
    const std::size_t b = sequenceBuffer(all);
    ASSERT_LT(b + 2, all.buffers.size());
    EXPECT_EQ(all.buffers[b + 1].fmsEstimates, all.buffers[b].fmsEstimates) << "FMS ran in buffer " << b + 1;
    EXPECT_GT(all.buffers[b + 2].fmsEstimates, all.buffers[b + 1].fmsEstimates) << "FMS still held after one buffer";

    const ChainRun fmsAlone = decodeLeft(left, kWithoutZvei);
    EXPECT_EQ(fmsAlone.sink.lines(kL), std::vector<std::string>{kStatus3Line});
    EXPECT_GT(fmsAlone.buffers[b + 1].fmsEstimates, fmsAlone.buffers[b].fmsEstimates);
}

TEST(FiveToneSequence, HoldsFmsNoLongerThanOneBuffer) {
    Signal left = silence(0.3);
    left.append(ZveiEncoder().call("12345", 0.0, 0.15));
    left.append(fmsTelegramRightAway());
    left.append(silence(0.5));
    EXPECT_EQ(decodeLeft(left, kAll).sink.lines(kL),
              (std::vector<std::string>{"##ZVEI#12345##+", kStatus3Line}));
}

// A pager transmission right behind the fifth tone: its preamble has begun in
// the buffer that assembled the sequence, and the POCSAG chain does not see
// that buffer (its clock tracker stands still there, while alone it moves).
// The preamble is long enough that the page still comes through.
class FiveToneThenPage : public ::testing::TestWithParam<double> {};

TEST_P(FiveToneThenPage, PocsagSkipsTheRestOfTheBuffer) {
    Signal left = silence(0.3);
    left.append(ZveiEncoder().call("12345", 0.0, 0.0));
    left.append(page(GetParam()));
    left.append(silence(0.5));

    const ChainRun all = decodeLeft(left, kAll);
    EXPECT_EQ(all.sink.lines(kL), (std::vector<std::string>{"##ZVEI#12345##+", kProbealarmLine}));
    const std::size_t b = sequenceBuffer(all);
    ASSERT_LT(b + 1, all.buffers.size());
    ASSERT_GT(b, 0u);
    EXPECT_EQ(all.buffers[b].pocsagBitPeriod, all.buffers[b - 1].pocsagBitPeriod) << "POCSAG ran in buffer " << b;
    EXPECT_NE(all.buffers[b + 1].pocsagBitPeriod, all.buffers[b].pocsagBitPeriod);

    // Alone, with the same dither, the POCSAG chain is where the other one
    // was up to that buffer, and reads it.
    const ChainRun pocsagAlone = decodeLeft(left, sideOnly(kL, false, false, true));
    EXPECT_EQ(pocsagAlone.sink.lines(kL), std::vector<std::string>{kProbealarmLine});
    EXPECT_EQ(pocsagAlone.buffers[b - 1].pocsagBitPeriod, all.buffers[b - 1].pocsagBitPeriod);
    EXPECT_NE(pocsagAlone.buffers[b].pocsagBitPeriod, pocsagAlone.buffers[b - 1].pocsagBitPeriod);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, FiveToneThenPage, ::testing::Values(512.0, 1200.0, 2400.0),
                         [](const auto& p) { return std::to_string(static_cast<int>(p.param)) + "bps"; });

// ---------------------------------------------------------------------------
// A pager transmission with an FMS telegram or a five-tone call right behind
// it: the receiver stays synchronised until it notices the bit stream is
// gone, and the channel's FMS and ZVEI chains wait until then. No buffer
// dispatched while the receiver was busy moved the FMS chain.

class PageFollowedBy : public ::testing::TestWithParam<Follower> {};

TEST_P(PageFollowedBy, SynchronisedPagerReceiverHoldsFmsAndZvei) {
    const Follower& next = GetParam();
    Signal left = silence(0.3);
    left.append(page(1200.0));
    left.append(next.make());
    left.append(silence(0.5));

    const ChainRun all = decodeLeft(left, kAll);
    EXPECT_EQ(all.sink.lines(kL), std::vector<std::string>{kProbealarmLine});
    int held = 0;
    for (std::size_t b = 1; b < all.buffers.size(); ++b) {
        if (all.buffers[b - 1].pocsagBusy) {
            ++held;
            EXPECT_EQ(all.buffers[b].fmsEstimates, all.buffers[b - 1].fmsEstimates) << "buffer " << b;
        }
    }
    EXPECT_GE(held, 15); // about 0.9 s of batch at 1200 bit/s

    const ChainRun alone = decodeLeft(left, kWithoutPocsag);
    EXPECT_EQ(alone.sink.lines(kL), std::vector<std::string>{next.line});
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, PageFollowedBy,
    ::testing::Values(Follower{"FmsTelegram", fmsTelegramRightAway, kStatus3Line},
                      Follower{"FiveToneCall", [] { return ZveiEncoder().call("12345", 0.0, 0.3); },
                               "##ZVEI#12345##+"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// A pager preamble cut up by short bursts of noise (or dropouts of a fading
// receiver) into stretches of 60 to 80 ms can look to the five-tone chain like
// five steady tones, the last of which ends where the sync codeword begins.
// None of them is a ZVEI tone, so it is no call: it must not hold back the
// pager chain from the buffer that carries the sync codeword.

struct CutPreamble {
    const char* name;
    double bitRate;
    double stretchSeconds; ///< steady preamble between two cuts
    bool noiseBursts;      ///< noise bursts, else dropouts to silence
    /// Whether the five-tone chain sees five steady tones at all. Behind its
    /// band-pass (780..2900 Hz) the 600 Hz square wave of a 1200 bit/s
    /// preamble is a weakened fundamental under its 1800 Hz harmonic, whose
    /// crossings are not steady; at 512 bit/s the harmonics of 256 Hz are.
    bool steadyStretches;
};

void PrintTo(const CutPreamble& c, std::ostream* os) { *os << c.name; }

class PagerPreamble : public ::testing::TestWithParam<CutPreamble> {};

TEST_P(PagerPreamble, CutUpByNoiseIsNoFiveToneCall) {
    const CutPreamble& c = GetParam();
    PocsagAir air;
    air.bitRate = c.bitRate;
    air.lowPassHz = c.bitRate;
    Signal tx = renderPocsag(pocsagBits(pocsagBatches({probealarm()})), air);
    // Five cuts of 10 ms; behind the last one 60 ms of preamble run into the
    // sync codeword.
    constexpr double kCut = 0.01;
    const double preambleEnd = kPocsagPreambleBits / c.bitRate;
    std::mt19937 rng(5);
    std::normal_distribution<double> burst(0.0, 6000.0);
    for (int k = 0; k < 5; ++k) {
        const double cutEnd = preambleEnd - 0.06 - k * (c.stretchSeconds + kCut);
        ASSERT_GT(cutEnd - kCut, 0.0);
        const auto from = static_cast<std::size_t>((cutEnd - kCut) * kSampleRate);
        const auto to = static_cast<std::size_t>(cutEnd * kSampleRate);
        for (std::size_t i = from; i < to; ++i) {
            tx.samples[i] = c.noiseBursts ? burst(rng) : 0.0;
        }
    }
    Signal left = silence(0.3);
    left.append(tx);
    left.append(silence(0.5));

    const ChainRun all = decodeLeft(left, kAll);
    EXPECT_EQ(all.sink.lines(kL), std::vector<std::string>{kProbealarmLine});
    // Whatever steady tones the five-tone chain saw, none was a ZVEI tone.
    EXPECT_EQ(all.zvei.sequences, c.steadyStretches ? 1u : 0u);
    EXPECT_EQ(all.zvei.unlabelled, all.zvei.sequences);
    EXPECT_EQ(all.zvei.handedOn, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, PagerPreamble,
    ::testing::Values(CutPreamble{"Bursts1200bps60ms", 1200.0, 0.06, true, false},
                      CutPreamble{"Bursts1200bps70ms", 1200.0, 0.07, true, false},
                      CutPreamble{"Dropouts1200bps70ms", 1200.0, 0.07, false, false},
                      CutPreamble{"Bursts512bps80ms", 512.0, 0.08, true, true},
                      CutPreamble{"Dropouts512bps60ms", 512.0, 0.06, false, true}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace tolvana::test
