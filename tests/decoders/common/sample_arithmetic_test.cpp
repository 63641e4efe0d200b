// The per-sample loops compute their values in cheaper ways than they are
// written down: the dither's offset, the zero-crossing search without
// branches, the POCSAG peak decay from a table. Each must give the very same
// numbers as the plain form, or a borderline decision could flip.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "decoders/common/dither.h"
#include "decoders/common/zero_crossings.h"
#include "decoders/pocsag/pocsag_decoder.h"
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

// The FMS and the five-tone front ends in one two-lane pass: each lane must
// be its own front end run alone, through start-up, tones, noise and a DC
// offset, block after block.
TEST(ZeroCrossings, TwoFrontsAtOnceAreEachFrontAlone) {
    std::mt19937_64 rng(4);
    std::normal_distribution<double> noise(0.0, 1.0);
    CrossingFront pairedA(0.999, 0.001, 11);
    CrossingFront pairedB(1.0 - 0.01, 0.01, 12);
    CrossingFront aloneA = pairedA;
    CrossingFront aloneB = pairedB;
    ChannelBlock block;
    for (int b = 0; b < 40; ++b) {
        for (std::size_t n = 0; n < block.size(); ++n) {
            const double t = static_cast<double>(b * 1024 + static_cast<int>(n)) / 22050.0;
            const double tone = b % 3 == 0 ? 0.0 : 8000.0 * std::sin(2.0 * 3.14159265358979 * (1000.0 + 100.0 * b) * t);
            block[n] = std::round(tone + 500.0 + (b % 5 == 4 ? 0.0 : 2000.0) * noise(rng));
        }
        CrossingList listA;
        CrossingList listB;
        CrossingList aloneListA;
        CrossingList aloneListB;
        runFronts(block, pairedA, listA, pairedB, listB);
        runFront(block, aloneA, aloneListA);
        runFront(block, aloneB, aloneListB);
        for (const auto& [paired, alone, front, aloneFront] :
             {std::tuple{&listA, &aloneListA, &pairedA, &aloneA}, std::tuple{&listB, &aloneListB, &pairedB, &aloneB}}) {
            ASSERT_EQ(paired->count, alone->count) << "block " << b;
            for (std::size_t k = 0; k < alone->count; ++k) {
                ASSERT_EQ(bits(paired->period[k]), bits(alone->period[k])) << "block " << b << ", crossing " << k;
                ASSERT_EQ(paired->at[k], alone->at[k]);
            }
            ASSERT_EQ(bits(front->mean), bits(aloneFront->mean));
            ASSERT_EQ(front->dither.state(), aloneFront->dither.state());
            ASSERT_EQ(bits(front->crossings.rising), bits(aloneFront->crossings.rising));
            ASSERT_EQ(bits(front->crossings.falling), bits(aloneFront->crossings.falling));
            ASSERT_EQ(bits(front->crossings.previous), bits(aloneFront->crossings.previous));
        }
    }
}

// The front end as it is written down: the running mean, the dither, then
// the branching crossing search.
std::size_t referenceFront(const ChannelBlock& block, CrossingFront& front, std::vector<double>& period,
                           std::vector<std::size_t>& at) {
    std::vector<double> clean(block.size());
    for (std::size_t n = 0; n < block.size(); ++n) {
        front.mean = front.mean * front.keep + block[n] * front.weight;
        clean[n] = (block[n] - front.mean) + front.dither.offset();
    }
    return referenceCrossings(clean, front.crossings, period, at);
}

// Digital silence after a signal (a squelched receiver): the running means
// sink into subnormal numbers and stay there, and the front end then takes
// them in integers. Positive and negative means, both weights, one front and
// two at once, from a loud block into minutes of zeros: the same numbers as
// the plain arithmetic, bit for bit.
TEST(ZeroCrossings, SilenceAfterASignalMatchesThePlainArithmetic) {
    ChannelBlock loud;
    for (std::size_t n = 0; n < loud.size(); ++n) {
        loud[n] = std::round(9000.0 * std::sin(static_cast<double>(n) * 0.31));
    }
    const ChannelBlock zeros{};
    for (const double start : {1e-300, -1e-300, 3e-310, -7e-322, 0.0, 2.0}) {
        SCOPED_TRACE(start);
        CrossingFront fms(0.999, 0.001, 5);
        CrossingFront zvei(1.0 - 0.01, 0.01, 6);
        fms.mean = zvei.mean = start;
        CrossingFront plainFms = fms;
        CrossingFront plainZvei = zvei;
        CrossingFront aloneZvei = zvei;
        for (int b = 0; b < 300; ++b) {
            const ChannelBlock& block = b == 0 && start == 2.0 ? loud : zeros;
            CrossingList listFms;
            CrossingList listZvei;
            CrossingList listAlone;
            runFronts(block, fms, listFms, zvei, listZvei);
            runFront(block, aloneZvei, listAlone);
            for (const auto& [fast, plain] : {std::pair{&fms, &plainFms}, std::pair{&zvei, &plainZvei}}) {
                std::vector<double> period(block.size() + 1);
                std::vector<std::size_t> at(block.size() + 1);
                const std::size_t found = referenceFront(block, *plain, period, at);
                const CrossingList& list = fast == &fms ? listFms : listZvei;
                ASSERT_EQ(list.count, found) << "block " << b;
                for (std::size_t k = 0; k < found; ++k) {
                    ASSERT_EQ(bits(list.period[k]), bits(period[k])) << "block " << b << ", crossing " << k;
                    ASSERT_EQ(list.at[k], at[k]);
                }
                ASSERT_EQ(bits(fast->mean), bits(plain->mean)) << "block " << b;
                ASSERT_EQ(fast->dither.state(), plain->dither.state());
                ASSERT_EQ(bits(fast->crossings.rising), bits(plain->crossings.rising));
                ASSERT_EQ(bits(fast->crossings.falling), bits(plain->crossings.falling));
            }
            ASSERT_EQ(bits(aloneZvei.mean), bits(zvei.mean));
            ASSERT_EQ(listAlone.count, listZvei.count);
        }
        // The decay really went below the normal numbers (or to zero).
        EXPECT_LT(std::abs(zvei.mean), 0x1.0p-1021);
    }
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
