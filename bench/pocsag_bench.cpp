// Speed of the POCSAG chain alone, in seconds of audio per second of CPU:
// on receiver noise with no transmission (what it does most of the day) and
// on back-to-back pager traffic at each bit rate.
#include <benchmark/benchmark.h>

#include "decoders/pocsag/pocsag_decoder.h"
#include "support/pocsag_encoder.h"

namespace tolvana {
namespace {

class CountingSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override {}
    void toneCall(ChannelSide, ToneCall, TimePoint) override {}
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override {}
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override { ++pages; }
    std::int64_t pages = 0;
};

void runChain(benchmark::State& state, const test::Signal& signal) {
    const std::size_t blocks = signal.samples.size() / kBlockFrames;
    CountingSink sink;
    PocsagDecoder decoder(ChannelSide::Left, &sink, 1);
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks; ++b) {
            const auto from = signal.samples.begin() + static_cast<std::ptrdiff_t>(b * kBlockFrames);
            std::copy_n(from, kBlockFrames, decoder.block().begin());
            decoder.run(TimePoint{});
        }
        benchmark::DoNotOptimize(sink.pages);
    }
    const double seconds = static_cast<double>(blocks * kBlockFrames) / kSampleRate;
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["pages"] = static_cast<double>(sink.pages) / static_cast<double>(state.iterations());
}

void BM_PocsagIdleNoise(benchmark::State& state) {
    test::Signal noise = test::silence(20.0);
    test::addNoiseRms(noise, 5000.0, 1);
    test::lowPass(noise, 3000.0);
    runChain(state, noise);
}
BENCHMARK(BM_PocsagIdleNoise)->Unit(benchmark::kMillisecond);

void BM_PocsagTraffic(benchmark::State& state) {
    const test::PocsagAir air{static_cast<double>(state.range(0)), 8000.0, false, 0.0, 0.0};
    test::Signal traffic;
    for (std::uint32_t n = 0; traffic.seconds() < 20.0; ++n) {
        traffic.append(test::silence(0.2));
        traffic.append(test::pocsagTransmission(
            {{100000 + 17 * n, 3, test::PocsagCall::Kind::Alphanumeric, "Einsatz Brandmeldeanlage Wache 3"}},
            air));
    }
    traffic.append(test::silence(0.5));
    test::addNoise(traffic, 15.0, 2);
    test::lowPass(traffic, air.bitRate);
    runChain(state, traffic);
}
BENCHMARK(BM_PocsagTraffic)->Arg(512)->Arg(1200)->Arg(2400)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
