// Speed of the five-tone chain alone: audio seconds decoded per CPU second
// ("x_realtime"), on a repeating train of calls with light noise and on
// white noise (the decoder's daily bread between calls).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "decoders/common/reception_sink.h"
#include "decoders/zvei/zvei_decoder.h"

namespace tolvana {
namespace {

class CountingSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override {}
    void toneCall(ChannelSide, ToneCall, TimePoint) override {}
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override { ++calls; }
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override {}
    long calls = 0;
};

// About 8 s of audio: calls of five 70 ms tones, 1 s apart, with noise.
std::vector<double> callAudio() {
    const std::vector<double> hz{1060, 1160, 1270, 1400, 1530, 1670, 1830, 2000, 2200, 2400, 2600};
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<double> out;
    double phase = 0.0;
    for (int call = 0; call < 8; ++call) {
        out.insert(out.end(), 22050 / 2, 0.0);
        for (int tone = 0; tone < 5; ++tone) {
            const double step = 2.0 * std::numbers::pi * hz[static_cast<std::size_t>((call + tone * 3) % 11)] / kSampleRate;
            for (int n = 0; n < 1544; ++n) {
                out.push_back(12000.0 * std::sin(phase));
                phase = std::fmod(phase + step, 2.0 * std::numbers::pi);
            }
        }
        out.insert(out.end(), 22050 / 2 - 5 * 1544, 0.0);
    }
    out.resize(out.size() / kBlockFrames * kBlockFrames);
    for (double& x : out) {
        x = std::round(x + noise(gen));
    }
    return out;
}

std::vector<double> noiseAudio() {
    std::mt19937 gen(2);
    std::normal_distribution<double> noise(0.0, 3000.0);
    std::vector<double> out(64 * kBlockFrames);
    for (double& x : out) {
        x = std::round(noise(gen));
    }
    return out;
}

void runChain(benchmark::State& state, const std::vector<double>& audio, long expectedCalls) {
    CountingSink sink;
    ZveiDecoder decoder(ChannelSide::Left, &sink, 1);
    const std::size_t blocks = audio.size() / kBlockFrames;
    std::size_t next = 0;
    for (auto _ : state) {
        std::copy_n(audio.begin() + static_cast<std::ptrdiff_t>(next * kBlockFrames), kBlockFrames,
                    decoder.block().begin());
        decoder.run(TimePoint{});
        benchmark::DoNotOptimize(decoder.sequenceDone());
        decoder.clearSequenceDone();
        next = (next + 1) % blocks;
    }
    const double audioSeconds = static_cast<double>(state.iterations()) * kBlockFrames / kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    const double passes = static_cast<double>(state.iterations()) / static_cast<double>(blocks);
    if (expectedCalls > 0 && passes >= 1.0 && sink.calls < expectedCalls) {
        state.SkipWithError("the call train did not decode");
    }
}

void BM_ZveiChainCalls(benchmark::State& state) {
    static const std::vector<double> audio = callAudio();
    runChain(state, audio, 8);
}
BENCHMARK(BM_ZveiChainCalls);

void BM_ZveiChainNoise(benchmark::State& state) {
    static const std::vector<double> audio = noiseAudio();
    runChain(state, audio, 0);
}
BENCHMARK(BM_ZveiChainNoise);

} // namespace
} // namespace tolvana
