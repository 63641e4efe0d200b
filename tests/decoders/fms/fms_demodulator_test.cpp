// The demodulator on its own: estimates, the reader/writer ring, call tones.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "decoders/fms/fms_decoder.h"
#include "fms_test_util.h"

namespace tolvana {
namespace {

using test::Signal;

void feedDemodulator(FmsDemodulator& d, const Signal& s) {
    ChannelBlock block;
    for (std::size_t at = 0; at < s.samples.size(); at += kBlockFrames) {
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            block[n] = at + n < s.samples.size() ? s.samples[at + n] : 0.0;
        }
        d.process(block);
    }
}

TEST(FmsDemodulator, EstimatesFollowTheToneAndTheFirstCrossingsGiveNone) {
    Signal s;
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        s.samples.push_back(-8000.0 * std::cos(2.0 * std::numbers::pi * 1200.0 * static_cast<double>(n) / kSampleRate));
    }
    FmsDemodulator d(5);
    feedDemodulator(d, s);
    // The first crossing falls at sample 0 with no period behind it: it gives
    // no estimate (and not -22050 Hz), so the first estimate is a rising one.
    // Every other crossing gives one, rising positive and falling negative,
    // 112 in all, and once the band-pass has rung in (the first of each
    // direction measures from the start anyway) they read the tone.
    ASSERT_EQ(d.written(), 112u);
    for (std::uint64_t i = 0; i < d.written(); ++i) {
        const double f = d.estimate(i);
        EXPECT_EQ(f > 0.0, i % 2 == 0) << i;
        if (i >= 6) {
            EXPECT_NEAR(std::abs(f), 1200.0, 5.0) << i;
        }
    }
}

TEST(FmsDemodulator, WriterLappingTheReaderMovesItToTheOldestEstimate) {
    Signal noise = test::silence(1.0);
    test::addNoiseRms(noise, 4000.0, 9);
    FmsDemodulator d(2);
    feedDemodulator(d, noise);
    ASSERT_GT(d.written(), 3 * FmsDemodulator::kRingSize);
    EXPECT_EQ(d.readPosition(), d.oldestHeld());
    EXPECT_EQ(d.written() - d.readPosition(), FmsDemodulator::kRingSize);
    // A slicing now reads held estimates only and stops at the newest one.
    FmsBits bits;
    while (d.sliceBits(kFmsFollowUpBits, bits) == FmsSliceResult::Sliced) {
        ASSERT_LE(d.readPosition(), d.written());
    }
    EXPECT_LE(d.written() - d.readPosition(), 3u * kFmsFollowUpBits);
}

// Whatever the audio, the reader stays between the oldest held estimate and
// the writer, and never goes back to estimates it has consumed.
TEST(FmsDemodulator, ReaderNeverPassesTheWriterNorGoesBack) {
    Signal s;
    test::ToneWriter w(s);
    std::mt19937 gen(7);
    const double fiveTone[] = {2400, 1060, 1160, 1270, 1400, 1530, 1670, 1830, 2000, 2200, 2600};
    for (int i = 0; i < 60; ++i) {
        for (int t = 0; t < 5; ++t) {
            w.tone(fiveTone[gen() % 11], 0.070);
        }
        w.silence(0.04);
        w.tone(1200.0, 0.3); // a preamble that never ends in a telegram
    }
    s.append(test::FmsEncoder().digitalAlarm(test::FmsFields{}, "NOISE FOLLOWS"));
    Signal tail = test::silence(1.0);
    test::addNoiseRms(tail, 3000.0, 4);
    s.append(tail);

    test::CollectingSink sink;
    FmsDecoder decoder(ChannelSide::Left, &sink, 3);
    std::uint64_t lastRead = 0;
    test::feed(decoder, s, [&](std::size_t) {
        const FmsDemodulator& d = decoder.demodulator();
        ASSERT_LE(d.readPosition(), d.written());
        ASSERT_GE(d.readPosition(), d.oldestHeld());
        ASSERT_GE(d.readPosition(), lastRead);
        lastRead = d.readPosition();
    });
    // Five-tone audio may look like a preamble, but nothing it gives passes.
    EXPECT_EQ(sink.plausibleFms().size(), 1u);
    EXPECT_TRUE(sink.only<test::ToneEvent>().empty());
}

TEST(FmsDemodulator, SteadyOnesAreNeverSliced) {
    // A preamble that does not end: found, then nothing to slice while it
    // lasts, however long.
    Signal s = test::silence(0.05);
    test::ToneWriter(s).tone(1200.0, 3.0);
    test::CollectingSink sink;
    FmsDecoder decoder(ChannelSide::Left, &sink, 3);
    bool found = false;
    test::feed(decoder, s, [&](std::size_t) {
        found = found || decoder.demodulator().syncState() != FmsSyncState::Searching;
        ASSERT_LE(decoder.demodulator().written() - decoder.demodulator().readPosition(), 250u);
    });
    EXPECT_TRUE(found);
    EXPECT_TRUE(sink.events.empty());
}

} // namespace
} // namespace tolvana
