// tolvana-decode as other tools see it: exit codes, messages, and input shapes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <random>

#include "cli/cli_runner.h"
#include "support/signal.h"

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

TEST_F(DecodeCli, UsageErrorsAreReported) {
    EXPECT_EQ(run({}).exitCode, 2);
    EXPECT_EQ(run({"--decoders", "fms,morse", "x.wav"}).exitCode, 2);
    EXPECT_EQ(run({"--left-only", "--right-only", "x.wav"}).exitCode, 2);
    EXPECT_EQ(run({"--start", "gestern", "x.wav"}).exitCode, 2);
    EXPECT_EQ(run({"-"}).exitCode, 2); // standard input needs --raw
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

TEST_F(DecodeCli, TruncatedRecordingDecodesWhatItHolds) {
    test::writeRecording(path("cut.wav"), std::vector<std::int16_t>(2 * 22050, 100), 2, 22050);
    fs::resize_file(path("cut.wav"), 44 + 1000 * 4 + 1);
    const test::CliResult r = run({path("cut.wav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
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
