// Off-air recordings (public domain, testdata/real-pocsag) read as a user's
// recording is: sound file, AudioSource, decodeRecording. Each address is a
// page of its own, with exactly what general decoders read from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "capture/recording.h"
#include "support/collecting_sink.h"
#include "support/signal.h"

namespace tolvana {
namespace {

struct Recording {
    const char* file;
    std::vector<PocsagPage> pages;
};

class PocsagRealSignal : public ::testing::TestWithParam<Recording> {};

TEST_P(PocsagRealSignal, DecodesEveryAddress) {
    const std::string path = (std::filesystem::path(test::testDataDir()) / "real-pocsag" / GetParam().file).string();
    std::string error;
    auto source = AudioSource::open(path, nullptr, error);
    ASSERT_TRUE(source) << error;

    test::CollectingSink sink;
    DecoderSwitches switches;
    switches.pocsag = {true, true};
    Dispatcher dispatcher(sink, switches);
    const RecordingResult result = decodeRecording(*source, dispatcher, TimePoint{});

    const auto events = sink.only<test::PocsagEvent>();
    EXPECT_EQ(sink.events.size(), events.size()) << "pages only";
    std::vector<PocsagPage> pages;
    for (const auto& e : events) {
        pages.push_back(e.page);
        EXPECT_EQ(e.side, ChannelSide::Left);
        EXPECT_LE(e.time, recordingTime(TimePoint{}, result.frames));
    }
    EXPECT_EQ(pages, GetParam().pages);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, PocsagRealSignal,
    ::testing::Values(
        Recording{"POCSAG_sample_-_512_bps.flac", {{273040, 3, "512 B SIDE ZZZZZZ"}}},
        // One batch, then 32 bits of one level and, from 2.03 s to the
        // end, the receiver's noise with the carrier gone: no sync
        // codeword within four bits of it anywhere, and no codeword within
        // four bits of an address 671968 at any bit phase. A decoder that
        // reads on past the batch without a sync codeword makes an address
        // of that noise: multimon-ng shows "671968, function 1" there, and
        // "731913, function 3" once a single sample is cut out of the
        // noise. Nothing may come of it.
        Recording{"POCSAG_sample_-_1200_bps.flac", {{273040, 3, "+++TIME=0008300324+++TIME=0008300324"}}},
        Recording{"POCSAG_sample_-_2400_bps.flac", {{1022869, 1, "+++TIME=0008300324+++TIME=0008300324"}}}),
    [](const ::testing::TestParamInfo<Recording>& param) {
        return "Rate" + std::to_string(param.index == 0 ? 512 : param.index == 1 ? 1200 : 2400);
    });

} // namespace
} // namespace tolvana
