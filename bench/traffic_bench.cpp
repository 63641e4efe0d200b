// Speed on the mixed traffic of tolvana-testsignal (FMS telegrams, five-tone
// calls and pager messages at all three rates, both channels, white noise at
// 20 dB): each chain alone on the left channel, and all six chains through
// the dispatcher. "x_realtime" is audio seconds decoded per CPU second;
// bench/run_table.sh puts these figures beside other decoders' on the same
// kind of audio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>

#include "capture/dispatcher.h"
#include "decoders/fms/fms_decoder.h"
#include "decoders/pocsag/pocsag_decoder.h"
#include "decoders/zvei/zvei_decoder.h"
#include "support/traffic.h"

namespace tolvana {
namespace {

const test::Traffic& traffic() {
    static const test::Traffic t = [] {
        test::TrafficOptions o;
        o.seconds = 120.0;
        o.seed = 7;
        o.snrDb = 20.0;
        return test::makeTraffic(o);
    }();
    return t;
}

class CountingSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override { ++count; }
    void toneCall(ChannelSide, ToneCall, TimePoint) override { ++count; }
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override { ++count; }
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override { ++count; }
    std::int64_t count = 0;
};

void setCounters(benchmark::State& state, std::size_t frames, std::int64_t receptions) {
    const double seconds = static_cast<double>(frames) / kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["receptions"] =
        static_cast<double>(receptions) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

template <typename Decoder> void runChain(benchmark::State& state) {
    const std::vector<std::int16_t> pcm = test::toPcm(traffic().left);
    const std::size_t blocks = pcm.size() / kBlockFrames;
    CountingSink sink;
    Decoder decoder(ChannelSide::Left, &sink, 1);
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks; ++b) {
            ChannelBlock& block = decoder.block();
            for (std::size_t n = 0; n < kBlockFrames; ++n) {
                block[n] = pcm[b * kBlockFrames + n];
            }
            decoder.run(TimePoint{});
        }
    }
    benchmark::DoNotOptimize(sink.count);
    setCounters(state, blocks * kBlockFrames, sink.count);
}

void BM_TrafficFmsChain(benchmark::State& state) { runChain<FmsDecoder>(state); }
void BM_TrafficZveiChain(benchmark::State& state) { runChain<ZveiDecoder>(state); }
void BM_TrafficPocsagChain(benchmark::State& state) { runChain<PocsagDecoder>(state); }

void BM_TrafficAllSixChains(benchmark::State& state) {
    const std::vector<std::int16_t> pcm = traffic().stereoPcm();
    const std::size_t buffers = pcm.size() / kBufferValues;
    CountingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    for (auto _ : state) {
        for (std::size_t b = 0; b < buffers; ++b) {
            benchmark::DoNotOptimize(dispatcher.dispatchBuffer(
                std::span<const std::int16_t, kBufferValues>(pcm.data() + b * kBufferValues, kBufferValues),
                TimePoint{}));
        }
    }
    setCounters(state, buffers * kBlockFrames, sink.count);
}

BENCHMARK(BM_TrafficFmsChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrafficZveiChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrafficPocsagChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrafficAllSixChains)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
