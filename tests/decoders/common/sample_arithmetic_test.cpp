// The per-sample loops compute their values in cheaper ways than they are
// written down: the dither's offset, the zero-crossing search without
// branches, two front ends (band-pass, dither, crossings) in two lanes of one
// vector, the POCSAG peak decay from a table. Each must give the very same
// numbers as the plain form, or a borderline decision could flip.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "decoders/common/dither.h"
#include "decoders/common/zero_crossings.h"
#include "decoders/fms/fms_demodulator.h"
#include "decoders/zvei/zvei_tone_tracker.h"
#include "decoders/pocsag/pocsag_decoder.h"
#include "decoders/pocsag/pocsag_demodulator.h"
#include "decoders/pocsag/pocsag_peak_decay.h"
#include "support/collecting_sink.h"
#include "support/pocsag_encoder.h"

namespace tolvana {
namespace {

// Bits, not values: +0 and -0 or two NaNs must not pass for one another.
std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(DitherOffsets, AreUniformMinusOneHalfBitForBit) {
    for (const std::uint64_t seed : {0ull, 1ull, 42ull, 0xFFFFFFFFFFFFFFFFull}) {
        Dither plain(seed);
        Dither offsets(seed);
        Dither filled(seed);
        std::vector<double> block(4096);
        for (int round = 0; round < 50; ++round) {
            filled.fillOffsets(block.data(), block.size());
            for (const double f : block) {
                const double expected = plain.uniform() - 0.5;
                ASSERT_EQ(bits(offsets.offset()), bits(expected)) << "seed " << seed;
                ASSERT_EQ(bits(f), bits(expected)) << "seed " << seed;
            }
        }
        // A copy carries on exactly as the original.
        Dither copy = plain;
        EXPECT_EQ(bits(copy.offset()), bits(plain.offset()));
    }
}

// The crossing search as the decoders used to write it, one branch per case.
std::size_t referenceCrossings(const std::vector<double>& x, CrossingState& s, std::vector<double>& period,
                               std::vector<std::size_t>& at) {
    std::size_t found = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double v = x[n];
        if (s.previous < 0.0) {
            if (v >= 0.0) {
                const double d = std::max(v - s.previous, 1.0);
                const double t = -s.previous / d;
                const double p = s.rising - 1.0 + t;
                if (p > 0.0) {
                    period[found] = p;
                    at[found++] = n;
                }
                s.rising = 1.0 - t;
            }
        } else if (v < 0.0) {
            const double d = std::max(s.previous - v, 1.0);
            const double t = s.previous / d;
            const double p = s.falling - 1.0 + t;
            if (p > 0.0) {
                period[found] = -p;
                at[found++] = n;
            }
            s.falling = 1.0 - t;
        }
        s.previous = v;
        s.rising += 1.0;
        s.falling += 1.0;
    }
    return found;
}

// Noise, tones, steps of less than one, exact zeros and silence, in blocks
// of odd sizes so that the state crosses block boundaries anywhere; the
// first block starts from the zero state, where periods are not yet valid.
TEST(ZeroCrossings, MatchTheBranchingSearchExactly) {
    std::mt19937_64 rng(9);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> dither(-0.5, 0.5);
    std::vector<double> signal;
    for (int n = 0; n < 20000; ++n) {
        const double tone = 3000.0 * std::sin(2.0 * 3.14159265358979 * 1750.0 * n / 22050.0);
        switch ((n / 2500) % 4) {
        case 0: signal.push_back(3000.0 * noise(rng)); break;
        case 1: signal.push_back(tone + 30.0 * noise(rng)); break;
        case 2: signal.push_back(dither(rng)); break;                                  // silence with dither
        default: signal.push_back(static_cast<double>(static_cast<int>(noise(rng)))); // exact zeros among them
        }
    }
    CrossingState fast;
    CrossingState plain;
    const std::size_t sizes[] = {1, 7, 1024, 333, 1024, 5000, 1, 2};
    std::size_t at = 0;
    for (std::size_t round = 0; at < signal.size(); ++round) {
        const std::size_t n = std::min(sizes[round % std::size(sizes)], signal.size() - at);
        const std::vector<double> block(signal.begin() + static_cast<std::ptrdiff_t>(at),
                                        signal.begin() + static_cast<std::ptrdiff_t>(at + n));
        std::vector<double> periodFast(n + 1);
        std::vector<std::uint16_t> atFast(n + 1);
        std::vector<double> periodPlain(n + 1);
        std::vector<std::size_t> atPlain(n + 1);
        const std::size_t foundFast = findCrossings(block.data(), n, fast, periodFast.data(), atFast.data());
        const std::size_t foundPlain = referenceCrossings(block, plain, periodPlain, atPlain);
        ASSERT_EQ(foundFast, foundPlain) << "at sample " << at;
        for (std::size_t k = 0; k < foundPlain; ++k) {
            ASSERT_EQ(bits(periodFast[k]), bits(periodPlain[k])) << "at sample " << at << ", crossing " << k;
            ASSERT_EQ(atFast[k], atPlain[k]);
        }
        ASSERT_EQ(bits(fast.previous), bits(plain.previous));
        ASSERT_EQ(bits(fast.rising), bits(plain.rising));
        ASSERT_EQ(bits(fast.falling), bits(plain.falling));
        at += n;
    }
    EXPECT_EQ(at, signal.size());
}

// The front end as it is written down: the band-pass one section after the
// other, the dither, then the branching crossing search; after the block, a
// filter that has decayed to next to nothing is set to exact zeros.
std::size_t referenceFront(const ChannelBlock& block, CrossingFront& front, std::vector<double>& period,
                           std::vector<std::size_t>& at) {
    const BandPass& band = front.band;
    BandPassState& f = front.filter;
    std::vector<double> clean(block.size());
    for (std::size_t n = 0; n < block.size(); ++n) {
        double t = band.gain * (block[n] - f.beforeLast[0]);
        f.beforeLast[0] = f.last[0];
        f.last[0] = block[n];
        for (std::size_t k = 1; k <= band.count; ++k) {
            const double y = (t - band.sections[k - 1].a2 * f.beforeLast[k]) - band.sections[k - 1].a1 * f.last[k];
            t = y - f.beforeLast[k];
            f.beforeLast[k] = f.last[k];
            f.last[k] = y;
        }
        clean[n] = f.last[band.count] + front.dither.offset();
    }
    bool quiet = true;
    for (std::size_t k = 0; k <= band.count; ++k) {
        quiet = quiet && std::abs(f.last[k]) < 0x1.0p-200 && std::abs(f.beforeLast[k]) < 0x1.0p-200;
    }
    if (quiet) {
        f = BandPassState{};
    }
    return referenceCrossings(clean, front.crossings, period, at);
}

void expectSameFront(const CrossingFront& got, const CrossingFront& want, const std::string& where) {
    ASSERT_EQ(got.dither.state(), want.dither.state()) << where;
    ASSERT_EQ(bits(got.crossings.previous), bits(want.crossings.previous)) << where;
    ASSERT_EQ(bits(got.crossings.rising), bits(want.crossings.rising)) << where;
    ASSERT_EQ(bits(got.crossings.falling), bits(want.crossings.falling)) << where;
    for (std::size_t k = 0; k <= want.band.count; ++k) {
        ASSERT_EQ(bits(got.filter.last[k]), bits(want.filter.last[k])) << where << ", stage " << k;
        ASSERT_EQ(bits(got.filter.beforeLast[k]), bits(want.filter.beforeLast[k])) << where << ", stage " << k;
    }
}

void expectSameCrossings(const CrossingList& got, const CrossingList& want, const std::string& where) {
    ASSERT_EQ(got.count, want.count) << where;
    for (std::size_t k = 0; k < want.count; ++k) {
        ASSERT_EQ(bits(got.period[k]), bits(want.period[k])) << where << ", crossing " << k;
        ASSERT_EQ(got.at[k], want.at[k]) << where << ", crossing " << k;
    }
}

void expectSameAsReference(const CrossingList& got, const std::vector<double>& period,
                           const std::vector<std::size_t>& at, std::size_t found, const std::string& where) {
    ASSERT_EQ(got.count, found) << where;
    for (std::size_t k = 0; k < found; ++k) {
        ASSERT_EQ(bits(got.period[k]), bits(period[k])) << where << ", crossing " << k;
        ASSERT_EQ(got.at[k], at[k]) << where << ", crossing " << k;
    }
}

BandPass oneSection() {
    BandPass b;
    b.gain = 0.1;
    b.sections[0] = {-1.6, 0.81};
    b.count = 1;
    return b;
}

// A resonance at a few hertz: its output swings slowly and far, so that
// long stretches (half a block and more) pass without a crossing.
BandPass slowSections(std::size_t count) {
    BandPass b;
    b.gain = 1.0;
    for (std::size_t k = 0; k < count; ++k) {
        b.sections[k] = {-1.99995, 0.999955};
    }
    b.count = count;
    return b;
}

struct BandPair {
    const char* name;
    BandPass a;
    BandPass b;
    bool quietHalves = false; ///< some halves of blocks pass without a crossing
};

void PrintTo(const BandPair& bands, std::ostream* os) { *os << bands.name; }

// Whether the first or the second half of a block had no crossing.
bool quietHalf(const CrossingList& list) {
    const auto firstHalf = static_cast<std::size_t>(
        std::count_if(list.at.begin(), list.at.begin() + static_cast<std::ptrdiff_t>(list.count),
                      [](std::uint16_t n) { return n < kBlockFrames / 2; }));
    return firstHalf == 0 || firstHalf == list.count;
}

class TwoFronts : public ::testing::TestWithParam<BandPair> {};

// Two front ends in one two-lane pass: each lane must be its own front end
// run alone and the front end as written down, through start-up, tones,
// noise, a DC offset and silence, block after block; also when one of the
// two has sat out blocks (as the FMS chain does after a five-tone sequence)
// and so carries other history into the pass.
TEST_P(TwoFronts, EachLaneIsItsFrontAloneAndAsWrittenDown) {
    const BandPair& bands = GetParam();
    std::mt19937_64 rng(4);
    std::normal_distribution<double> noise(0.0, 1.0);
    CrossingFront pairedA(bands.a, 11);
    CrossingFront pairedB(bands.b, 12);
    CrossingFront aloneA = pairedA;
    CrossingFront aloneB = pairedB;
    CrossingFront plainA = pairedA;
    CrossingFront plainB = pairedB;
    // The two-lane form that processors without AVX2 run.
    CrossingFront narrowA = pairedA;
    CrossingFront narrowB = pairedB;
    ChannelBlock block;
    int quietHalves = 0;
    for (int b = 0; b < 48; ++b) {
        for (std::size_t n = 0; n < block.size(); ++n) {
            const double t = static_cast<double>(b * 1024 + static_cast<int>(n)) / 22050.0;
            const double tone = b % 3 == 0 ? 0.0 : 8000.0 * std::sin(2.0 * 3.14159265358979 * (800.0 + 100.0 * b) * t);
            const double level = b % 5 == 4 ? 0.0 : 2000.0;
            block[n] = b % 8 == 7 ? 0.0 : std::round(tone + 500.0 * (b % 4) + level * noise(rng));
        }
        const std::string where = "block " + std::to_string(b);
        std::vector<double> period(block.size() + 1);
        std::vector<std::size_t> at(block.size() + 1);
        if (b % 6 == 5) {
            // `a` sits this block out; `b` runs alone.
            CrossingList alone;
            CrossingList single;
            CrossingList narrow;
            runFront(block, pairedB, single);
            runFront(block, aloneB, alone);
            runFront(block, narrowB, narrow);
            const std::size_t found = referenceFront(block, plainB, period, at);
            expectSameAsReference(single, period, at, found, where);
            expectSameAsReference(alone, period, at, found, where);
            expectSameAsReference(narrow, period, at, found, where);
        } else {
            CrossingList listA;
            CrossingList listB;
            CrossingList aloneListA;
            CrossingList aloneListB;
            runFronts(block, pairedA, listA, pairedB, listB);
            quietHalves += static_cast<int>(quietHalf(listA)) + static_cast<int>(quietHalf(listB));
            runFront(block, aloneA, aloneListA);
            runFront(block, aloneB, aloneListB);
            expectSameCrossings(listA, aloneListA, where + ", lane a");
            expectSameCrossings(listB, aloneListB, where + ", lane b");
            CrossingList narrowListA;
            CrossingList narrowListB;
            runFrontsTwoLanes(block, narrowA, narrowListA, narrowB, narrowListB);
            expectSameCrossings(narrowListA, aloneListA, where + ", two lanes, lane a");
            expectSameCrossings(narrowListB, aloneListB, where + ", two lanes, lane b");
            const std::size_t foundA = referenceFront(block, plainA, period, at);
            expectSameAsReference(listA, period, at, foundA, where + ", lane a");
            const std::size_t foundB = referenceFront(block, plainB, period, at);
            expectSameAsReference(listB, period, at, foundB, where + ", lane b");
        }
        expectSameFront(pairedA, plainA, where + ", front a");
        expectSameFront(pairedB, plainB, where + ", front b");
        expectSameFront(aloneB, plainB, where + ", front b alone");
        expectSameFront(narrowA, plainA, where + ", front a, two lanes");
        expectSameFront(narrowB, plainB, where + ", front b, two lanes");
    }
    // A half without a crossing starts its second half from the state the
    // first half came in with: the case must have come up where it can.
    if (bands.quietHalves) {
        EXPECT_GT(quietHalves, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bands, TwoFronts,
    ::testing::Values(BandPair{"FmsAndZvei", kFmsBand, kZveiBand}, BandPair{"ZveiAndFms", kZveiBand, kFmsBand},
                      BandPair{"FmsTwice", kFmsBand, kFmsBand}, BandPair{"ZveiTwice", kZveiBand, kZveiBand},
                      BandPair{"OneSectionAndThree", oneSection(), kZveiBand},
                      BandPair{"SlowSwings", slowSections(2), kFmsBand, true},
                      BandPair{"SlowSwingsTwice", slowSections(1), slowSections(3), true}),
    [](const ::testing::TestParamInfo<BandPair>& p) { return std::string(p.param.name); });

struct StereoBands {
    const char* name;
    BandPass leftA;
    BandPass leftB;
    BandPass rightA;
    BandPass rightB;
};

void PrintTo(const StereoBands& bands, std::ostream* os) { *os << bands.name; }

class FourFronts : public ::testing::TestWithParam<StereoBands> {};

// Both sides' pairs in one pass (four lanes where the processor has AVX2):
// each lane must be its front end run alone and as written down, with the
// two channels carrying different audio (tones, noise, DC, silence, a
// channel at full scale); also when one side has sat out blocks and so
// carries other history into the pass. Pairs with different sections on the
// two sides take the two-pair way, with the same results.
TEST_P(FourFronts, EachLaneIsItsFrontAloneAndAsWrittenDown) {
    const StereoBands& bands = GetParam();
    std::mt19937_64 rng(8);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::array<CrossingFront, 4> fronts{CrossingFront(bands.leftA, 21), CrossingFront(bands.leftB, 22),
                                        CrossingFront(bands.rightA, 23), CrossingFront(bands.rightB, 24)};
    std::array<CrossingFront, 4> plain = fronts;
    ChannelBlock left;
    ChannelBlock right;
    for (int b = 0; b < 40; ++b) {
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            const double t = static_cast<double>(b * 1024 + static_cast<int>(n)) / 22050.0;
            const double tone = b % 3 == 1 ? 0.0 : 7000.0 * std::sin(2.0 * 3.14159265358979 * (900.0 + 70.0 * b) * t);
            left[n] = b % 7 == 6 ? 0.0 : std::round(tone + 300.0 * (b % 5) + 1500.0 * noise(rng));
            const double clipped = (b / 4) % 2 == 0 ? 32767.0 : -32768.0;
            right[n] = b % 9 == 4   ? clipped
                       : b % 4 == 3 ? 0.0
                                    : std::round(std::sin(2.0 * 3.14159265358979 * 1750.0 * t) * 2000.0 +
                                                 (b % 2 == 0 ? 6000.0 : 50.0) * noise(rng));
        }
        const std::string where = "block " + std::to_string(b);
        std::array<CrossingList, 4> lists;
        const bool leftSitsOut = b % 5 == 2;
        if (leftSitsOut) {
            runFronts(right, fronts[2], lists[2], fronts[3], lists[3]);
        } else {
            runFronts(left, {fronts[0], lists[0]}, {fronts[1], lists[1]}, right, {fronts[2], lists[2]},
                      {fronts[3], lists[3]});
        }
        for (std::size_t lane = leftSitsOut ? 2 : 0; lane < 4; ++lane) {
            std::vector<double> period(kBlockFrames + 1);
            std::vector<std::size_t> at(kBlockFrames + 1);
            const std::size_t found = referenceFront(lane < 2 ? left : right, plain[lane], period, at);
            const std::string lanePlace = where + ", lane " + std::to_string(lane);
            expectSameAsReference(lists[lane], period, at, found, lanePlace);
            expectSameFront(fronts[lane], plain[lane], lanePlace);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bands, FourFronts,
    ::testing::Values(StereoBands{"FmsAndZveiOnBothSides", kFmsBand, kZveiBand, kFmsBand, kZveiBand},
                      StereoBands{"OrderSwappedOnOneSide", kFmsBand, kZveiBand, kZveiBand, kFmsBand},
                      StereoBands{"ZveiEverywhere", kZveiBand, kZveiBand, kZveiBand, kZveiBand},
                      StereoBands{"OneSectionAndThree", oneSection(), kZveiBand, kZveiBand, oneSection()},
                      StereoBands{"SidesDiffer", kFmsBand, kFmsBand, kZveiBand, kZveiBand}),
    [](const ::testing::TestParamInfo<StereoBands>& p) { return std::string(p.param.name); });

bool subnormal(double v) { return v != 0.0 && std::abs(v) < 0x1.0p-1022; }

// Digital silence after a signal (a squelched receiver): the band-pass rings
// down and is then set to exact zeros, so that its values never sink into
// subnormal numbers (slow microcode for as long as the silence lasts). One
// front and two at once, from a loud block into minutes of zeros: the same
// numbers as the plain arithmetic, bit for bit.
TEST(ZeroCrossings, SilenceAfterASignalSettlesToExactZeros) {
    ChannelBlock loud;
    for (std::size_t n = 0; n < loud.size(); ++n) {
        loud[n] = std::round(9000.0 * std::sin(static_cast<double>(n) * 0.31));
    }
    const ChannelBlock zeros{};
    CrossingFront fms(kFmsBand, 5);
    CrossingFront zvei(kZveiBand, 6);
    CrossingFront plainFms = fms;
    CrossingFront plainZvei = zvei;
    CrossingFront aloneZvei = zvei;
    int settledAt = -1;
    for (int b = 0; b < 300; ++b) {
        const ChannelBlock& block = b == 0 ? loud : zeros;
        const std::string where = "block " + std::to_string(b);
        CrossingList listFms;
        CrossingList listZvei;
        CrossingList listAlone;
        runFronts(block, fms, listFms, zvei, listZvei);
        runFront(block, aloneZvei, listAlone);
        std::vector<double> period(block.size() + 1);
        std::vector<std::size_t> at(block.size() + 1);
        std::size_t found = referenceFront(block, plainFms, period, at);
        expectSameAsReference(listFms, period, at, found, where);
        found = referenceFront(block, plainZvei, period, at);
        expectSameAsReference(listZvei, period, at, found, where);
        expectSameCrossings(listAlone, listZvei, where);
        expectSameFront(fms, plainFms, where);
        expectSameFront(zvei, plainZvei, where);
        expectSameFront(aloneZvei, plainZvei, where);
        for (const CrossingFront* front : {&fms, &zvei}) {
            for (std::size_t k = 0; k <= front->band.count; ++k) {
                ASSERT_FALSE(subnormal(front->filter.last[k]) || subnormal(front->filter.beforeLast[k])) << where;
            }
        }
        const auto zero = [](const CrossingFront& f) {
            return f.filter.last == BandPassState{}.last && f.filter.beforeLast == BandPassState{}.beforeLast;
        };
        if (settledAt < 0 && zero(fms) && zero(zvei)) {
            settledAt = b;
        }
        ASSERT_TRUE(settledAt < 0 || (zero(fms) && zero(zvei))) << where;
    }
    // Rung down within a few blocks, and silent ever after.
    EXPECT_GT(settledAt, 0);
    EXPECT_LE(settledAt, 5);
}

// Every entry of the table, against two roundings of the double product.
TEST(PocsagPeakDecay, TableMatchesTheDoubleRoundingEverywhere) {
    for (std::int32_t p = -pocsag::kPeakDecayLimit; p <= pocsag::kPeakDecayLimit; ++p) {
        const double once = std::nearbyint(static_cast<double>(p) * 0.999);
        const double twice = std::nearbyint(once * 0.999);
        ASSERT_EQ(pocsag::decayPeakOnce(p), static_cast<std::int32_t>(once)) << p;
        ASSERT_EQ(pocsag::kPeakDecay.decayed(p), static_cast<std::int32_t>(twice)) << p;
    }
    // The fixed points: a peak of 500 or less stays where it is.
    EXPECT_EQ(pocsag::kPeakDecay.decayed(500), 500);
    EXPECT_EQ(pocsag::kPeakDecay.decayed(-500), -500);
    EXPECT_EQ(pocsag::kPeakDecay.decayed(501), 500);
}

// The POCSAG clock tracker's rounding without the library call: ties both
// ways and of both parities, signed zeros, the ends of the range where the
// addition of 2^52 works, numbers that are whole already, infinities, NaN,
// and random quotients as the tracker makes them.
TEST(PocsagRounding, NearestWholeIsNearbyintBitForBit) {
    std::vector<double> values{0.0,     -0.0,    0.5,      -0.5,      1.5,      -1.5,         2.5,
                               -2.5,    0.49999999999999994,      -0.49999999999999994,    1e-310,
                               -1e-310, 4.0,     1e300,    -1e300,    0x1.0p51 + 0.5,      0x1.0p52 - 0.5,
                               -(0x1.0p52 - 0.5), 0x1.0p52, 0x1.0p52 + 1.0, 0x1.0p53 + 2.0,
                               std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max()};
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> length(0.0, 2000.0);
    std::uniform_real_distribution<double> period(8.0, 50.0);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(length(rng) / period(rng));
        values.push_back(static_cast<double>(i % 200) * 0.5 - 50.0);
    }
    for (const double v : values) {
        ASSERT_EQ(bits(pocsag::nearestWhole(v)), bits(std::nearbyint(v))) << v;
    }
}

// Samples beyond 16 bits (a caller with its own scaling) take the slicer's
// double path, and the decoder moves between the two paths as the peaks
// come back into range: the page still decodes, before and after.
TEST(PocsagSlicer, LevelsBeyondSixteenBitsDecodeToo) {
    const test::PocsagCall call{1234567, 3, test::PocsagCall::Kind::Alphanumeric, "Probealarm"};
    test::Signal s = test::silence(0.3);
    s.append(test::pocsagTransmission({call}, test::PocsagAir{1200.0, 8000.0, false, 0.0, 0.0}));
    s.append(test::silence(0.5));
    s.append(test::pocsagTransmission({call}, test::PocsagAir{1200.0, 90000.0, false, 0.0, 0.0}));
    s.append(test::silence(0.5));
    s.append(test::pocsagTransmission({call}, test::PocsagAir{1200.0, 8000.0, true, 0.0, 0.0}));
    s.append(test::silence(1.0));

    test::CollectingSink sink;
    PocsagDecoder decoder(ChannelSide::Left, &sink, 3);
    for (std::size_t at = 0; at + kBlockFrames <= s.samples.size(); at += kBlockFrames) {
        std::copy_n(s.samples.begin() + static_cast<std::ptrdiff_t>(at), kBlockFrames, decoder.block().begin());
        decoder.run(TimePoint{});
    }
    const auto pages = sink.only<test::PocsagEvent>();
    ASSERT_EQ(pages.size(), 3u);
    for (const auto& page : pages) {
        EXPECT_EQ(page.page.ric, 1234567u);
        EXPECT_EQ(page.page.text, "Probealarm");
    }
}

} // namespace
} // namespace tolvana
