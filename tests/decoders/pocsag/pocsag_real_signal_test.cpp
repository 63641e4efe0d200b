// Off-air recordings (public domain, testdata/real-pocsag) read as a user's
// recording is: sound file, AudioSource, decodeRecording. One transmission
// gives one page: its first address with the text decoded last.
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
    std::uint32_t ric;
    int function;
    const char* text;
};

class PocsagRealSignal : public ::testing::TestWithParam<Recording> {};

TEST_P(PocsagRealSignal, DecodesTheOneTransmission) {
    const std::string path = (std::filesystem::path(test::testDataDir()) / "real-pocsag" / GetParam().file).string();
    std::string error;
    auto source = AudioSource::open(path, nullptr, error);
    ASSERT_TRUE(source) << error;

    test::CollectingSink sink;
    DecoderSwitches switches;
    switches.pocsag = {true, true};
    Dispatcher dispatcher(sink, switches);
    const RecordingResult result = decodeRecording(*source, dispatcher, TimePoint{});

    ASSERT_EQ(sink.events.size(), 1u);
    const auto pages = sink.only<test::PocsagEvent>();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].side, ChannelSide::Left);
    EXPECT_EQ(pages[0].page.ric, GetParam().ric);
    EXPECT_EQ(pages[0].page.function, GetParam().function);
    EXPECT_EQ(pages[0].page.text, GetParam().text);
    EXPECT_LE(pages[0].time, recordingTime(TimePoint{}, result.frames));
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, PocsagRealSignal,
    ::testing::Values(
        Recording{"POCSAG_sample_-_512_bps.flac", 273040, 3, "512 B SIDE ZZZZZZ"},
        // Two addresses in one transmission; the second one carries no text.
        Recording{"POCSAG_sample_-_1200_bps.flac", 273040, 3, "+++TIME=0008300324+++TIME=0008300324"},
        Recording{"POCSAG_sample_-_2400_bps.flac", 1022869, 1, "+++TIME=0008300324+++TIME=0008300324"}),
    [](const ::testing::TestParamInfo<Recording>& param) {
        return "Rate" + std::to_string(param.index == 0 ? 512 : param.index == 1 ? 1200 : 2400);
    });

} // namespace
} // namespace tolvana
