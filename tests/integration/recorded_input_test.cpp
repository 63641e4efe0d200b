// The same radio traffic recorded in other shapes (another sample rate, a
// mono recorder, FLAC) decodes through AudioSource like the 22050 Hz stereo
// original: the same receptions on the same channels at the same moments of
// the recording clock. A mono recording is the left receiver.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "integration/decode_rig.h"
#include "support/traffic.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

/// Resamples interleaved 16-bit audio from 22050 Hz to `rate`, as a
/// recorder at that rate would have stored the same sound. Fed in pieces:
/// soxr's one-shot call crawls under the address sanitizer.
std::vector<std::int16_t> resampled(const std::vector<std::int16_t>& interleaved, unsigned channels, int rate) {
    if (rate == kSampleRate) {
        return interleaved;
    }
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t err = nullptr;
    const soxr_t soxr = soxr_create(kSampleRate, rate, channels, &err, &io, &quality, &runtime);
    EXPECT_EQ(err, nullptr) << err;
    if (err != nullptr) {
        return {};
    }
    const std::size_t inFrames = interleaved.size() / channels;
    std::vector<std::int16_t> out((inFrames * static_cast<std::size_t>(rate) / kSampleRate + 4096) * channels);
    std::size_t read = 0;
    std::size_t written = 0;
    for (;;) {
        const std::size_t piece = std::min<std::size_t>(4096, inFrames - read);
        std::size_t used = 0;
        std::size_t produced = 0;
        // An empty piece (null input) flushes the resampler's tail.
        soxr_process(soxr, piece > 0 ? interleaved.data() + read * channels : nullptr, piece, &used,
                     out.data() + written * channels, out.size() / channels - written, &produced);
        read += used;
        written += produced;
        if (piece == 0 && produced == 0) {
            break;
        }
    }
    soxr_delete(soxr);
    out.resize(written * channels);
    return out;
}

struct Shape {
    const char* name;
    int rate;
    int channels;
    int format; ///< SF_FORMAT_* major type
};

void PrintTo(const Shape& c, std::ostream* os) { *os << c.name; }

class RecordedInput : public ::testing::TestWithParam<Shape> {
protected:
    void SetUp() override { m_dir = makeTempDir("tolvana-shapes"); }
    void TearDown() override { fs::remove_all(m_dir); }

    /// Writes the traffic in `shape` and decodes the file as tolvana-decode does.
    LineSink decodeAs(const Traffic& traffic, const Shape& shape) {
        const std::vector<std::int16_t> samples =
            shape.channels == 2 ? traffic.stereoPcm() : toPcm(traffic.left);
        const std::string path = m_dir + "/" + shape.name + (shape.format == SF_FORMAT_FLAC ? ".flac" : ".wav");
        writeRecording(path, resampled(samples, static_cast<unsigned>(shape.channels), shape.rate),
                       shape.channels, shape.rate, shape.format);

        std::string error;
        const std::unique_ptr<AudioSource> source = AudioSource::open(path, nullptr, error);
        EXPECT_NE(source, nullptr) << error;
        LineSink sink;
        if (source) {
            Dispatcher dispatcher(sink, DecoderSwitches::all());
            decodeRecording(*source, dispatcher, kRecordingStart);
            EXPECT_EQ(source->readError(), "");
        }
        return sink;
    }

    std::string m_dir;
};

const Traffic& traffic() {
    static const Traffic t = [] {
        TrafficOptions o;
        o.seconds = 60.0;
        o.seed = 5;
        o.snrDb = 30.0;
        return makeTraffic(o);
    }();
    return t;
}

TEST_P(RecordedInput, DecodesLikeTheOriginal) {
    const Shape& shape = GetParam();
    const LineSink original = decodeAs(traffic(), Shape{"original", kSampleRate, 2, SF_FORMAT_WAV});
    ASSERT_EQ(original.heard.size(), traffic().expected.size());
    ASSERT_GT(original.lines(ChannelSide::Right).size(), 10u);

    const LineSink copy = decodeAs(traffic(), shape);
    EXPECT_EQ(copy.lines(ChannelSide::Left), original.lines(ChannelSide::Left));
    if (shape.channels == 2) {
        EXPECT_EQ(copy.lines(ChannelSide::Right), original.lines(ChannelSide::Right));
    } else {
        EXPECT_TRUE(copy.lines(ChannelSide::Right).empty());
    }

    // Same moments: the resampler's delay is far below one buffer.
    std::size_t matched = 0;
    for (const Heard& h : original.heard) {
        if (shape.channels == 1 && h.side == ChannelSide::Right) {
            continue;
        }
        const auto match = std::find_if(copy.heard.begin(), copy.heard.end(),
                                        [&](const Heard& c) { return c.side == h.side && c.line == h.line; });
        ASSERT_NE(match, copy.heard.end()) << h.line;
        EXPECT_LE(std::chrono::abs(match->time - h.time), std::chrono::milliseconds(100)) << h.line;
        ++matched;
    }
    EXPECT_GT(matched, 15u);
}

INSTANTIATE_TEST_SUITE_P(Shapes, RecordedInput,
                         ::testing::Values(Shape{"Stereo44100", 44100, 2, SF_FORMAT_WAV},
                                           Shape{"Stereo48000Flac", 48000, 2, SF_FORMAT_FLAC},
                                           Shape{"Mono22050", 22050, 1, SF_FORMAT_WAV},
                                           Shape{"Mono48000", 48000, 1, SF_FORMAT_WAV}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace tolvana::test
