// Speed of the whole dispatcher (channel split, meters, all six chains on):
// audio seconds decoded per CPU second. The goal is above 1000x real time on
// one core (aim: 1500x, for slower machines), so that a slow machine keeps
// up with two receivers easily; the shares of the chains follow.
#include <benchmark/benchmark.h>

#include <span>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/fms_encoder.h"
#include "support/signal.h"

namespace tolvana {
namespace {

// Ten seconds of stereo: FMS traffic on the left, noise and a call tone on
// the right; each chain sees busy and idle stretches.
std::vector<std::int16_t> stereoTraffic() {
    test::FmsEncoder encoder;
    test::Signal left;
    for (int i = 0; i < 40; ++i) {
        test::FmsFields f;
        f.status = i % 16 == 10 ? 9 : i % 16;
        left.append(encoder.telegram(f));
        left.append(test::silence(0.12));
    }
    test::addNoise(left, 20.0, 21);
    test::Signal right = test::silence(left.seconds());
    test::ToneWriter(right).tone(1750.0, 2.0);
    test::addNoiseRms(right, 2000.0, 22);
    return test::interleave(test::toPcm(left), test::toPcm(right));
}

void runDispatcher(benchmark::State& state, const DecoderSwitches& switches) {
    const std::vector<std::int16_t> pcm = stereoTraffic();
    const std::size_t buffers = pcm.size() / kBufferValues;
    test::CollectingSink sink;
    Dispatcher dispatcher(sink, switches);
    for (auto _ : state) {
        for (std::size_t b = 0; b < buffers; ++b) {
            benchmark::DoNotOptimize(dispatcher.dispatchBuffer(
                std::span<const std::int16_t, kBufferValues>(pcm.data() + b * kBufferValues, kBufferValues),
                TimePoint{}));
        }
        sink.events.clear();
    }
    const double seconds = static_cast<double>(buffers * kBlockFrames) / kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DispatcherAllChains(benchmark::State& state) { runDispatcher(state, DecoderSwitches::all()); }
void BM_DispatcherFmsOnly(benchmark::State& state) {
    DecoderSwitches s;
    s.fms = {true, true};
    runDispatcher(state, s);
}

void BM_DispatcherFmsAndZvei(benchmark::State& state) {
    DecoderSwitches s;
    s.fms = s.zvei = {true, true};
    runDispatcher(state, s);
}
void BM_DispatcherPocsagOnly(benchmark::State& state) {
    DecoderSwitches s;
    s.pocsag = {true, true};
    runDispatcher(state, s);
}

// Channel split and level meters alone: what every chain's cost comes on top of.
void BM_DispatcherNoChains(benchmark::State& state) { runDispatcher(state, DecoderSwitches{}); }

BENCHMARK(BM_DispatcherAllChains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DispatcherNoChains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DispatcherFmsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DispatcherFmsAndZvei)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DispatcherPocsagOnly)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
