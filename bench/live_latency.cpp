// tolvana_live_latency: how long a reception takes from the end of the
// buffer that completes it to standard output and to the daily log, when
// tolvana-decode reads live input from a pipe (an SDR pipeline), on one
// thread and on two.
//
// The traffic comes from the test encoders. A first pass through the
// dispatcher (the same decoders, the same seed) finds the buffers after
// which a reception is complete. The traffic is then sent into
// tolvana-decode in real time, buffer by buffer, and after each of those
// buffers the sender pauses (300 ms): whatever comes out during the pause
// belongs to that buffer, and its latency is the time from the end of the
// write to the line on standard output, or to the growth of the log folder.
// A line outside a pause would be a reception held back; it is counted.
//
//   tolvana_live_latency TOLVANA_DECODE [--seconds N] [--threads 1|2]
#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/traffic.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <set>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace tolvana;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr auto kPause = std::chrono::milliseconds(300);

/// Buffers after which the dispatcher has handed a reception on.
std::set<std::size_t> completingBuffers(const std::vector<std::int16_t>& pcm) {
    test::CollectingSink sink;
    Dispatcher dispatcher(sink, DecoderSwitches::all());
    std::set<std::size_t> out;
    std::array<std::int16_t, kBufferValues> buffer{};
    for (std::size_t b = 0; (b + 1) * kBufferValues <= pcm.size(); ++b) {
        std::copy_n(pcm.begin() + static_cast<std::ptrdiff_t>(b * kBufferValues), kBufferValues,
                    buffer.begin());
        const std::size_t before = sink.events.size();
        dispatcher.dispatchBuffer(buffer, TimePoint{});
        if (sink.events.size() > before) {
            out.insert(b);
        }
    }
    return out;
}

std::uintmax_t folderBytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        total += entry.file_size(ec);
    }
    return total;
}

struct Figures {
    std::vector<double> stdoutMs;
    std::vector<double> logMs;
    int outsidePauses = 0;
    int lines = 0;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

Figures run(const std::string& decodeExe, const std::vector<std::int16_t>& pcm,
            const std::set<std::size_t>& pauses, int threads) {
    const fs::path home =
        fs::temp_directory_path() /
        ("tolvana-latency-" + std::to_string(getpid()) + "-" + std::to_string(threads));
    fs::remove_all(home);
    fs::create_directories(home / "Logbuch");
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const std::string threadsText = std::to_string(threads);
    const std::string homeText = home.string();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(decodeExe.c_str(), decodeExe.c_str(), "--home", homeText.c_str(), "--threads",
              threadsText.c_str(), "--raw", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    signal(SIGPIPE, SIG_IGN);

    // Lines and log growth, stamped as they come.
    std::mutex mutex;
    std::vector<Clock::time_point> lineTimes;
    std::vector<Clock::time_point> logTimes;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) {
            const auto now = Clock::now();
            const std::lock_guard lock(mutex);
            for (ssize_t i = 0; i < n; ++i) {
                if (chunk[i] == '\n') {
                    lineTimes.push_back(now);
                }
            }
        }
    });
    std::thread logWatcher([&] {
        std::uintmax_t size = 0;
        while (!done) {
            const std::uintmax_t now = folderBytes(home / "Logbuch");
            if (now > size) {
                size = now;
                const std::lock_guard lock(mutex);
                logTimes.push_back(Clock::now());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    // Let the program start and load its data folder before the clock counts.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<std::pair<Clock::time_point, Clock::time_point>> windows; // write end, pause end
    auto due = Clock::now();
    const std::size_t buffers = pcm.size() / kBufferValues;
    for (std::size_t b = 0; b < buffers; ++b) {
        std::this_thread::sleep_until(due);
        const char* p = reinterpret_cast<const char*>(pcm.data() + b * kBufferValues);
        std::size_t left = kBufferValues * 2;
        while (left > 0) {
            const ssize_t n = write(in[1], p, left);
            if (n <= 0) {
                std::perror("write");
                std::exit(1);
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        const auto written = Clock::now();
        due += std::chrono::microseconds(kBlockFrames * 1'000'000LL / kSampleRate);
        if (pauses.count(b) != 0) {
            std::this_thread::sleep_for(kPause);
            windows.emplace_back(written, Clock::now());
            due = Clock::now();
        }
    }
    close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    reader.join();
    done = true;
    logWatcher.join();
    close(out[0]);
    fs::remove_all(home);

    Figures f;
    f.lines = static_cast<int>(lineTimes.size());
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    const auto inWindow = [&](Clock::time_point t) {
        return std::find_if(windows.begin(), windows.end(),
                            [&](const auto& w) { return t >= w.first && t < w.second; });
    };
    // The first line or log write in each pause is the latency of its buffer.
    std::set<std::size_t> seenOut;
    std::set<std::size_t> seenLog;
    for (const auto t : lineTimes) {
        const auto w = inWindow(t);
        if (w == windows.end()) {
            ++f.outsidePauses;
        } else if (seenOut.insert(static_cast<std::size_t>(w - windows.begin())).second) {
            f.stdoutMs.push_back(ms(t - w->first));
        }
    }
    for (const auto t : logTimes) {
        const auto w = inWindow(t);
        if (w != windows.end() &&
            seenLog.insert(static_cast<std::size_t>(w - windows.begin())).second) {
            f.logMs.push_back(ms(t - w->first));
        }
    }
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: tolvana_live_latency TOLVANA_DECODE [--seconds N] [--threads 1|2]\n");
        return 2;
    }
    const std::string decodeExe = argv[1];
    double seconds = 60.0;
    std::vector<int> threadCounts{1, 2};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--seconds") {
            seconds = std::atof(argv[i + 1]);
        } else if (option == "--threads") {
            threadCounts = {std::atoi(argv[i + 1])};
        }
    }
    test::TrafficOptions o;
    o.seconds = seconds;
    o.seed = 21;
    o.minGapSeconds = 0.5;
    o.maxGapSeconds = 1.5;
    const test::Traffic traffic = test::makeTraffic(o);
    // Two seconds of quiet at the end, so that no reception waits for the
    // silence that follows the end of the input.
    std::vector<std::int16_t> pcm = traffic.stereoPcm();
    pcm.resize(pcm.size() + 2 * 2 * kSampleRate, 0);
    const std::set<std::size_t> pauses = completingBuffers(pcm);
    std::printf("%.0f s of traffic, %zu receptions, %zu buffers that complete one\n", seconds,
                traffic.expected.size(), pauses.size());
    std::printf("| threads | lines | end of buffer to stdout: median / 95 %% / max | to the daily "
                "log: median / "
                "95 %% / max | lines after their pause |\n|--:|--:|--:|--:|--:|\n");
    for (const int threads : threadCounts) {
        const Figures f = run(decodeExe, pcm, pauses, threads);
        std::printf("| %d | %d | %.1f / %.1f / %.1f ms | %.1f / %.1f / %.1f ms | %d |\n", threads,
                    f.lines, percentile(f.stdoutMs, 0.5), percentile(f.stdoutMs, 0.95),
                    percentile(f.stdoutMs, 1.0), percentile(f.logMs, 0.5),
                    percentile(f.logMs, 0.95), percentile(f.logMs, 1.0), f.outsidePauses);
        std::fflush(stdout);
    }
    return 0;
}
