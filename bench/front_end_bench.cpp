// Speed of the shared front end alone (band-pass, dither, zero crossings) on
// one channel of noisy audio: the FMS and the five-tone front ends in one
// pass, as the dispatcher runs them on a channel thread, both channels' in
// one pass, as it runs them on one thread, and each front on its own.
// "x_realtime" is audio seconds per CPU second.
#include <benchmark/benchmark.h>

#include <vector>

#include "decoders/common/zero_crossings.h"
#include "decoders/fms/fms_demodulator.h"
#include "decoders/zvei/zvei_tone_tracker.h"
#include "support/signal.h"

namespace tolvana {
namespace {

// Ten seconds of a tone in white noise: crossings at the tone's rate and at
// random, as on a busy channel.
std::vector<ChannelBlock> noisyBlocks() {
    test::Signal s;
    test::ToneWriter(s, 8000.0).tone(1530.0, 10.0);
    test::addNoise(s, 6.0, 31);
    const std::vector<std::int16_t> pcm = test::toPcm(s);
    std::vector<ChannelBlock> blocks(pcm.size() / kBlockFrames);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            blocks[b][n] = pcm[b * kBlockFrames + n];
        }
    }
    return blocks;
}

void setRate(benchmark::State& state, std::size_t blocks) {
    const double seconds = static_cast<double>(blocks * kBlockFrames) / kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FrontEndPair(benchmark::State& state) {
    const std::vector<ChannelBlock> blocks = noisyBlocks();
    CrossingFront fms(kFmsBand, 1);
    CrossingFront zvei(kZveiBand, 2);
    CrossingList fmsCrossings;
    CrossingList zveiCrossings;
    for (auto _ : state) {
        for (const ChannelBlock& block : blocks) {
            runFronts(block, fms, fmsCrossings, zvei, zveiCrossings);
            benchmark::DoNotOptimize(fmsCrossings.count + zveiCrossings.count);
        }
    }
    setRate(state, blocks.size());
    state.SetLabel(fourLaneFronts() ? "crossings of both halves in four lanes" : "two lanes");
}

// The same pair in the two-lane form that processors without AVX2 run.
void BM_FrontEndPairTwoLanes(benchmark::State& state) {
    const std::vector<ChannelBlock> blocks = noisyBlocks();
    CrossingFront fms(kFmsBand, 1);
    CrossingFront zvei(kZveiBand, 2);
    CrossingList fmsCrossings;
    CrossingList zveiCrossings;
    for (auto _ : state) {
        for (const ChannelBlock& block : blocks) {
            runFrontsTwoLanes(block, fms, fmsCrossings, zvei, zveiCrossings);
            benchmark::DoNotOptimize(fmsCrossings.count + zveiCrossings.count);
        }
    }
    setRate(state, blocks.size());
}

// Both channels' pairs of a stereo buffer, as the dispatcher runs them on
// one thread: one four-lane pass where the processor has AVX2. The rate
// counts the audio of one channel, comparable with the pair above.
void BM_FrontEndStereo(benchmark::State& state) {
    const std::vector<ChannelBlock> blocks = noisyBlocks();
    CrossingFront leftFms(kFmsBand, 1);
    CrossingFront leftZvei(kZveiBand, 2);
    CrossingFront rightFms(kFmsBand, 3);
    CrossingFront rightZvei(kZveiBand, 4);
    CrossingList lists[4];
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            runFronts(blocks[b], {leftFms, lists[0]}, {leftZvei, lists[1]}, blocks[blocks.size() - 1 - b],
                      {rightFms, lists[2]}, {rightZvei, lists[3]});
            benchmark::DoNotOptimize(lists[0].count + lists[1].count + lists[2].count + lists[3].count);
        }
    }
    setRate(state, blocks.size());
    state.SetLabel(fourLaneFronts() ? "four lanes" : "two pairs");
}

void runAlone(benchmark::State& state, const BandPass& band) {
    const std::vector<ChannelBlock> blocks = noisyBlocks();
    CrossingFront front(band, 1);
    CrossingList crossings;
    for (auto _ : state) {
        for (const ChannelBlock& block : blocks) {
            runFront(block, front, crossings);
            benchmark::DoNotOptimize(crossings.count);
        }
    }
    setRate(state, blocks.size());
}

void BM_FrontEndFmsAlone(benchmark::State& state) { runAlone(state, kFmsBand); }
void BM_FrontEndZveiAlone(benchmark::State& state) { runAlone(state, kZveiBand); }

BENCHMARK(BM_FrontEndPair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontEndPairTwoLanes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontEndStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontEndFmsAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontEndZveiAlone)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
