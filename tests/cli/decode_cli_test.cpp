// tolvana-decode as other tools see it: exit codes, messages, and input shapes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <iterator>
#include <random>

#include "cli/cli_runner.h"
#include "support/fms_encoder.h"
#include "support/signal.h"
#include "support/traffic.h"
#include "support/zvei_encoder.h"

namespace tolvana {
namespace {

namespace fs = std::filesystem;

class DecodeCli : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = test::makeTempDir("tolvana-decode");
        m_home = m_dir + "/home";
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    test::CliResult run(std::vector<std::string> args, const std::string& in = {}) {
        args.insert(args.begin(), {"--home", m_home});
        return test::runDecode(args, in);
    }

    std::string m_dir;
    std::string m_home;
};

TEST_F(DecodeCli, InputsThatCannotBeReadEndWithExitCode2AndAMessage) {
    { std::ofstream(path("empty.wav")); }
    {
        std::ofstream f(path("random.wav"), std::ios::binary);
        std::mt19937 gen(11);
        for (int i = 0; i < 50000; ++i) {
            f.put(static_cast<char>(gen()));
        }
    }
    { std::ofstream(path("notes.txt")) << "Einsatzbericht\r\nkein Audio\r\n"; }
    for (const char* name : {"missing.wav", "empty.wav", "random.wav", "notes.txt"}) {
        const test::CliResult r = run({path(name)});
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_TRUE(r.out.empty()) << name;
        EXPECT_NE(r.err.find(name), std::string::npos) << name << ": " << r.err;
    }
}

// Each usage error on its own, with a recording that exists and decodes
// (a missing file would end with exit code 2 as well and hide a check that
// is gone): exit code 2, the message for that error, nothing decoded.
TEST_F(DecodeCli, UsageErrorsAreReported) {
    const std::string ok = path("ruf.wav");
    test::writeRecording(ok, toPcm(test::ZveiEncoder().call("12345", 0.2, 0.5)), 1, 22050);
    ASSERT_EQ(run({ok}).out, "L\t##ZVEI#12345##+\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "expected exactly one input (a file, or - for standard input) or --device; see --help"},
        {{ok, ok}, "expected exactly one input (a file, or - for standard input) or --device; see --help"},
        {{"--decoders", "fms,morse", ok}, "unknown decoder \"morse\" (known: fms, zvei, pocsag)"},
        {{"--decoders", ",", ok}, "--decoders needs at least one of fms, zvei, pocsag"},
        {{"--left-only", "--right-only", ok}, "--left-only and --right-only exclude each other"},
        {{"--start", "gestern", ok}, "--start expects local time as \"yyyy-MM-dd HH:mm:ss\", got \"gestern\""},
        {{"--threads", "3", ok}, "--threads takes 1 or 2"},
        {{"--raw", "--rate", "schnell", ok}, "--rate and --channels take whole numbers"},
        {{"--raw", "--rate", "500", ok}, "raw sample rate must lie between 1000 and 384000 Hz"},
        {{"--raw", "--channels", "3", ok}, "raw input must have 1 or 2 channels"},
        {{"-"}, "standard input carries no header: give --raw (and --rate, --channels)"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) {
            shown += a + " ";
        }
        SCOPED_TRACE(shown);
        const test::CliResult r = run(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "tolvana-decode: " + c.message + "\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(DecodeCli, SilenceFromAFileOrStandardInputPrintsNothing) {
    test::writeRecording(path("quiet.wav"), std::vector<std::int16_t>(2 * 22050 * 3, 0), 2, 22050);
    test::CliResult r = run({path("quiet.wav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());

    const std::string raw(2 * 22050 * 2, '\0'); // two seconds of mono silence
    r = run({"--raw", "--channels", "1", "-"}, raw);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
}

// A recording cut off by a full disk or an aborted copy (its header still
// promises the whole length): the telegram in the part that is there is
// decoded, the one that was cut away is not, and the run ends normally.
TEST_F(DecodeCli, TruncatedRecordingDecodesWhatItHolds) {
    test::FmsEncoder fms;
    test::Signal left = test::silence(0.3);
    left.append(fms.telegram(test::FmsFields{"62345678", 3, 0, 2, 0}));
    left.append(test::silence(1.0));
    const std::size_t kept = left.samples.size();
    left.append(fms.telegram(test::FmsFields{"61234567", 4, 0, 1, 0}));
    left.append(test::silence(1.0));
    const std::vector<std::int16_t> stereo = test::interleave(test::toPcm(left), test::toPcm(test::silence(left.seconds())));
    test::writeRecording(path("cut.wav"), stereo, 2, 22050);
    ASSERT_EQ(run({path("cut.wav")}).out, "L\t##FMS#62345678#3#20#+\nL\t##FMS#61234567#4#10#+\n");

    fs::resize_file(path("cut.wav"), 44 + kept * 4 + 1); // the header, the kept frames, half a sample
    const test::CliResult r = run({path("cut.wav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "L\t##FMS#62345678#3#20#+\n");
}

// The options a user picks, on traffic on both receivers: each prints exactly
// the receptions it selects, in the order of the full run; two threads and
// one give the same; raw PCM (at the card's rate, at another rate, mono) gives
// what the sound file gives.
TEST_F(DecodeCli, ChannelDecoderThreadAndRawOptionsOnRealTraffic) {
    test::TrafficOptions o;
    o.seconds = 45.0;
    o.seed = 12;
    const test::Traffic traffic = test::makeTraffic(o);
    const std::vector<std::int16_t> stereo = traffic.stereoPcm();
    test::writeRecording(path("verkehr.wav"), stereo, 2, 22050);
    const std::vector<std::string> all = traffic.printedLines();
    const auto only = [&](const auto& keep) {
        std::vector<std::string> out;
        std::copy_if(all.begin(), all.end(), std::back_inserter(out), keep);
        return out;
    };
    const auto left = only([](const std::string& l) { return l[0] == 'L'; });
    const auto right = only([](const std::string& l) { return l[0] == 'R'; });
    const auto fms = only([](const std::string& l) { return l.find("##FMS#") != std::string::npos; });
    const auto notFms = only([](const std::string& l) { return l.find("##FMS#") == std::string::npos; });
    const auto leftPocsag = only([](const std::string& l) { return l.rfind("L\t##POC#", 0) == 0; });
    ASSERT_FALSE(left.empty());
    ASSERT_FALSE(right.empty());
    ASSERT_FALSE(fms.empty());
    ASSERT_FALSE(leftPocsag.empty());

    const auto rawFile = [&](const std::string& name, const std::vector<std::int16_t>& samples) {
        std::ofstream out(path(name), std::ios::binary);
        for (const std::int16_t v : samples) {
            const auto u = static_cast<std::uint16_t>(v);
            out.put(static_cast<char>(u & 0xFF)).put(static_cast<char>(u >> 8));
        }
        return path(name);
    };
    // Twice the rate, each new sample halfway between its neighbours.
    std::vector<std::int16_t> doubled;
    for (std::size_t i = 0; i + 2 < stereo.size(); i += 2) {
        doubled.insert(doubled.end(), {stereo[i], stereo[i + 1]});
        doubled.insert(doubled.end(), {static_cast<std::int16_t>((stereo[i] + stereo[i + 2]) / 2),
                                       static_cast<std::int16_t>((stereo[i + 1] + stereo[i + 3]) / 2)});
    }
    std::vector<std::int16_t> mono;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        mono.push_back(stereo[i]);
    }

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expected;
    };
    const std::string wav = path("verkehr.wav");
    const std::vector<Case> cases = {
        {{wav}, all},
        {{"--threads", "1", wav}, all},
        {{"--left-only", wav}, left},
        {{"--right-only", "--threads", "1", wav}, right},
        {{"--decoders", "fms", wav}, fms},
        {{"--decoders", "zvei,pocsag", "--threads", "1", wav}, notFms},
        {{"--left-only", "--decoders", "pocsag", wav}, leftPocsag},
        {{"--raw", rawFile("verkehr.raw", stereo)}, all},
        {{"--raw", "--rate", "44100", rawFile("verkehr-44k.raw", doubled)}, all},
        {{"--raw", "--channels", "1", rawFile("links.raw", mono)}, left},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) {
            shown += a + " ";
        }
        SCOPED_TRACE(shown);
        const test::CliResult r = run(c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.lines(), c.expected);
    }
}

TEST_F(DecodeCli, DemoRecordingDecodesAsExpected) {
    // The recording the README decodes for a newcomer.
    const std::string dir = test::testDataDir() + "/demo";
    std::ifstream f(dir + "/demo.expected");
    const std::string expected(std::istreambuf_iterator<char>(f), {});
    const test::CliResult r = run({"--start", "2026-12-07 15:52:00", dir + "/demo.flac"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

} // namespace
} // namespace tolvana
