// Speed of one FMS chain: audio seconds decoded per CPU second.
#include <benchmark/benchmark.h>

#include "decoders/fms/fms_decoder.h"
#include "support/fms_encoder.h"
#include "support/signal.h"

namespace tolvana {
namespace {

// About ten seconds: status telegrams with pauses, under moderate noise.
test::Signal telegramTraffic() {
    test::FmsEncoder encoder;
    test::Signal s;
    for (int i = 0; i < 40; ++i) {
        test::FmsFields f;
        f.status = i % 16 == 10 ? 9 : i % 16;
        f.tki = i % 4;
        s.append(encoder.telegram(f));
        s.append(test::silence(0.12));
    }
    test::addNoise(s, 20.0, 11);
    return s;
}

test::Signal noiseOnly() {
    test::Signal s = test::silence(10.0);
    test::addNoiseRms(s, 3000.0, 12);
    return s;
}

class NullSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override { ++count; }
    void toneCall(ChannelSide, ToneCall, TimePoint) override { ++count; }
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override { ++count; }
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override { ++count; }
    int count = 0;
};

void runChain(benchmark::State& state, const test::Signal& signal) {
    const std::vector<std::int16_t> pcm = test::toPcm(signal);
    const std::size_t blocks = pcm.size() / kBlockFrames;
    NullSink sink;
    FmsDecoder decoder(ChannelSide::Left, &sink, 1);
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks; ++b) {
            ChannelBlock& block = decoder.block();
            for (std::size_t n = 0; n < kBlockFrames; ++n) {
                block[n] = pcm[b * kBlockFrames + n];
            }
            decoder.run(TimePoint{});
        }
        benchmark::DoNotOptimize(sink.count);
    }
    const double seconds = static_cast<double>(blocks * kBlockFrames) / kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FmsChainTelegrams(benchmark::State& state) { runChain(state, telegramTraffic()); }
void BM_FmsChainNoise(benchmark::State& state) { runChain(state, noiseOnly()); }

BENCHMARK(BM_FmsChainTelegrams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FmsChainNoise)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
