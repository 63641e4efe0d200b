// Recorded input: formats, rates, channel mapping, raw PCM, broken files.
#include "capture/audio_source.h"
#include "capture/recording.h"
#include "support/collecting_sink.h"
#include "support/signal.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sndfile.h>
#include <thread>
#include <unistd.h>

namespace tolvana {
namespace {

namespace fs = std::filesystem;

class AudioSourceTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = test::makeTempDir("tolvana-audio"); }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (fs::path(m_dir) / name).string(); }

    static std::vector<std::int16_t> readAll(AudioSource& src) {
        std::vector<std::int16_t> all;
        std::vector<std::int16_t> buf(2 * 1000);
        for (;;) {
            const std::size_t got = src.readFrames(buf);
            all.insert(all.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(2 * got));
            if (got < 1000) {
                return all;
            }
        }
    }

    std::string m_dir;
};

std::vector<std::int16_t> ramp(std::size_t n, int scale) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::int16_t>((static_cast<int>(i) * scale) % 60000 - 30000);
    }
    return v;
}

TEST_F(AudioSourceTest, StereoAt22050IsPassedThroughBitExact) {
    for (int format : {SF_FORMAT_WAV, SF_FORMAT_FLAC}) {
        const auto pcm = test::interleave(ramp(5000, 13), ramp(5000, 29));
        const std::string file = path(format == SF_FORMAT_WAV ? "a.wav" : "a.flac");
        test::writeRecording(file, pcm, 2, 22050, format);
        std::string error;
        auto src = AudioSource::open(file, nullptr, error);
        ASSERT_TRUE(src) << error;
        EXPECT_EQ(readAll(*src), pcm);
        EXPECT_TRUE(src->readError().empty());
    }
}

TEST_F(AudioSourceTest, MonoGoesToTheLeftChannel) {
    const auto mono = ramp(3000, 7);
    test::writeRecording(path("m.wav"), mono, 1, 22050);
    std::string error;
    auto src = AudioSource::open(path("m.wav"), nullptr, error);
    ASSERT_TRUE(src) << error;
    EXPECT_EQ(readAll(*src), test::interleave(mono, std::vector<std::int16_t>(mono.size(), 0)));
}

TEST_F(AudioSourceTest, OtherRatesAreResampledTo22050) {
    for (int rate : {44100, 48000, 8000}) {
        // A 1000 Hz tone must come out as 1000 Hz at 22050 Hz, with its length kept.
        test::Signal s;
        s.rate = rate;
        test::ToneWriter(s, 10000).tone(1000.0, 1.0);
        const auto mono = test::toPcm(s);
        test::writeRecording(path("r.wav"), test::interleave(mono, mono), 2, rate);
        std::string error;
        auto src = AudioSource::open(path("r.wav"), nullptr, error);
        ASSERT_TRUE(src) << error;
        const auto out = readAll(*src);
        const double frames = static_cast<double>(out.size()) / 2.0;
        EXPECT_NEAR(frames, 22050.0, 30.0) << rate;
        // Count rising zero crossings on the left channel in the steady middle.
        int crossings = 0;
        for (std::size_t i = 2 * 2205; i + 2 < 2 * 19845; i += 2) {
            if (out[i] < 0 && out[i + 2] >= 0) {
                ++crossings;
            }
        }
        EXPECT_NEAR(crossings, 800, 2) << rate; // 0.8 s of 1000 Hz
    }
}

TEST_F(AudioSourceTest, RawPcmFromFileInAnyShape) {
    const auto left = ramp(2500, 11);
    const auto right = ramp(2500, 17);
    const auto pcm = test::interleave(left, right);
    {
        std::ofstream f(path("s.raw"), std::ios::binary);
        for (std::int16_t v : pcm) {
            const auto u = static_cast<std::uint16_t>(v);
            f.put(static_cast<char>(u & 0xFF));
            f.put(static_cast<char>(u >> 8));
        }
        f.put('\x7f'); // a stray odd byte at the end is dropped
    }
    RawFormat raw{22050, 2};
    std::string error;
    auto src = AudioSource::open(path("s.raw"), &raw, error);
    ASSERT_TRUE(src) << error;
    EXPECT_EQ(readAll(*src), pcm);

    // The same bytes read as mono give twice the frames, all on the left.
    RawFormat mono{22050, 1};
    src = AudioSource::open(path("s.raw"), &mono, error);
    ASSERT_TRUE(src) << error;
    const auto out = readAll(*src);
    ASSERT_EQ(out.size(), 2 * pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        ASSERT_EQ(out[2 * i], pcm[i]);
        ASSERT_EQ(out[2 * i + 1], 0);
    }
}

TEST_F(AudioSourceTest, APipeGivesEachBufferAsSoonAsItIsThereAndAStopEndsTheWait) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    RawFormat raw{22050, 2};
    std::string error;
    auto src = AudioSource::open("/dev/fd/" + std::to_string(fds[0]), &raw, error);
    ASSERT_TRUE(src) << error;
    std::atomic<bool> stop{false};
    src->setInterrupt([&] { return stop.load(); });
    // One and a half buffers, then the sender pauses with the pipe open.
    const std::vector<std::int16_t> pcm = ramp(2 * 1536, 7);
    ASSERT_EQ(write(fds[1], pcm.data(), pcm.size() * 2), static_cast<ssize_t>(pcm.size() * 2));
    // The stop comes a second later; the first buffer must not wait for it.
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        stop = true;
    });
    std::vector<std::int16_t> buffer(2 * 1024);
    EXPECT_EQ(src->readFrames(buffer), 1024u);
    EXPECT_FALSE(stop.load()) << "the first buffer waited for more input";
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), pcm.begin()));
    // The next buffer is half there: the read waits until it is stopped,
    // and the half that came ends the input.
    EXPECT_EQ(src->readFrames(buffer), 512u);
    stopper.join();
    EXPECT_EQ(src->readFrames(buffer), 0u);
    close(fds[1]);
    close(fds[0]);
}

TEST_F(AudioSourceTest, BrokenInputsGiveAMessageNotACrash) {
    std::string error;
    EXPECT_FALSE(AudioSource::open(path("missing.wav"), nullptr, error));
    EXPECT_NE(error.find("missing.wav"), std::string::npos);

    { std::ofstream(path("empty.wav")); }
    EXPECT_FALSE(AudioSource::open(path("empty.wav"), nullptr, error));

    {
        std::ofstream f(path("noise.bin"), std::ios::binary);
        std::mt19937 gen(3);
        for (int i = 0; i < 100000; ++i) {
            f.put(static_cast<char>(gen() & 0xFF));
        }
    }
    EXPECT_FALSE(AudioSource::open(path("noise.bin"), nullptr, error));

    { std::ofstream(path("text.wav")) << "RIFF this is no sound file at all\n"; }
    EXPECT_FALSE(AudioSource::open(path("text.wav"), nullptr, error));

    EXPECT_FALSE(AudioSource::open("-", nullptr, error));
    RawFormat bad{22050, 3};
    EXPECT_FALSE(AudioSource::open(path("noise.bin"), &bad, error));
}

TEST_F(AudioSourceTest, TruncatedWavDecodesWhatItHolds) {
    const auto pcm = test::interleave(ramp(8000, 5), ramp(8000, 9));
    test::writeRecording(path("t.wav"), pcm, 2, 22050);
    fs::resize_file(path("t.wav"), 44 + 4 * 3000 + 3); // header plus 3000 frames and a bit
    std::string error;
    auto src = AudioSource::open(path("t.wav"), nullptr, error);
    ASSERT_TRUE(src) << error;
    const auto out = readAll(*src);
    ASSERT_EQ(out.size(), 2u * 3000u);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), pcm.begin()));
}

TEST_F(AudioSourceTest, RecordingClockAndTrailingSilence) {
    const auto pcm = test::interleave(ramp(2500, 5), ramp(2500, 9));
    test::writeRecording(path("c.wav"), pcm, 2, 22050);
    std::string error;
    auto src = AudioSource::open(path("c.wav"), nullptr, error);
    ASSERT_TRUE(src) << error;
    test::CollectingSink sink;
    Dispatcher d(sink, DecoderSwitches{});
    const TimePoint start{std::chrono::milliseconds(1'700'000'000'000)};
    std::vector<RecordingProgress> seen;
    const RecordingResult r = decodeRecording(*src, d, start, [&](const RecordingProgress& p) {
        seen.push_back(p);
        return true;
    });
    EXPECT_EQ(r.frames, 2500u);
    // Three buffers of the recording (the last padded), then one second of silence.
    EXPECT_EQ(r.buffers, 3u + 22u);
    ASSERT_EQ(seen.size(), r.buffers);
    EXPECT_EQ(seen[0].time, start + std::chrono::milliseconds(1024 * 1000 / 22050));
    EXPECT_EQ(seen[2].frames, 2500u);
    EXPECT_EQ(seen.back().meters, (LevelMeters{0, 0, 0, 0}));
    EXPECT_GT(seen[0].meters.peakLeft, 0);
}

} // namespace
} // namespace tolvana
