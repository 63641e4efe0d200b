// Speed of a whole recording: a WAV file read through libsndfile, cut into
// buffers and decoded by all six chains, on one thread and on two. Audio
// seconds per second: of the whole process's CPU for one thread (the goal is
// above 1000x), of the wall clock for two (the goal is above 2000x on two
// cores; the CPU column then shows both threads together).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "capture/audio_source.h"
#include "capture/recording.h"
#include "support/signal.h"
#include "support/traffic.h"

namespace tolvana {
namespace {

class NullSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide, const FmsReception&, TimePoint) override { ++count; }
    void toneCall(ChannelSide, ToneCall, TimePoint) override { ++count; }
    void zveiSequence(ChannelSide, const ZveiSequence&, TimePoint) override { ++count; }
    void pocsagPage(ChannelSide, const PocsagPage&, TimePoint) override { ++count; }
    long count = 0;
};

// Two minutes of mixed traffic on both channels under moderate noise, in a
// folder that goes when the program ends.
class TrafficWav {
public:
    TrafficWav() : m_dir(test::makeTempDir("tolvana-bench")) {
        test::TrafficOptions options;
        options.seconds = 120.0;
        options.seed = 4;
        options.snrDb = 15.0;
        m_path = (std::filesystem::path(m_dir) / "traffic.wav").string();
        test::writeRecording(m_path, test::makeTraffic(options).stereoPcm(), 2, kSampleRate);
    }
    ~TrafficWav() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TrafficWav(const TrafficWav&) = delete;
    TrafficWav& operator=(const TrafficWav&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_dir;
    std::string m_path;
};

const std::string& trafficWav() {
    static const TrafficWav wav;
    return wav.path();
}

void runRecording(benchmark::State& state, int threads) {
    const std::string& path = trafficWav();
    double seconds = 0.0;
    for (auto _ : state) {
        std::string error;
        auto source = AudioSource::open(path, nullptr, error);
        if (!source) {
            state.SkipWithError(error.c_str());
            return;
        }
        NullSink sink;
        Dispatcher dispatcher(sink, DecoderSwitches::all());
        const RecordingResult result = decodeRecording(*source, dispatcher, TimePoint{}, {}, threads);
        seconds = static_cast<double>(result.buffers * kBlockFrames) / kSampleRate;
        benchmark::DoNotOptimize(sink.count);
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RecordingOneThread(benchmark::State& state) { runRecording(state, 1); }
void BM_RecordingTwoThreads(benchmark::State& state) { runRecording(state, 2); }

BENCHMARK(BM_RecordingOneThread)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordingTwoThreads)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tolvana
