// tolvana-decode on a sound card: without an audio server it says there is
// no sound card; through a private PulseAudio server (a null sink whose
// monitor is the capture device "VirtualMic") it decodes what a "receiver"
// plays into the sink, until SIGTERM, and ends with 3 when the device goes
// away. Skipped, with the reason, where pulseaudio cannot start.
#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "support/pulse_server.h"
#include "support/signal.h"
#include "support/traffic.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

/// Points the audio server variables elsewhere for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_had = true;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_had) {
            setenv(m_name, m_old.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(SoundCardDecode, WithoutAnAudioServerThereIsNoSoundCard) {
    const ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/tolvana-no-audio-server");
    const std::string home = makeTempDir("tolvana-nocard");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--list-devices"},
          std::vector<std::string>{"--home", home, "--device", "default"}}) {
        const CliResult r = runDecode(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Keine Soundkarte (Input-Device)!"), std::string::npos) << r.err;
    }
    fs::remove_all(home);
}

class SoundCardDecodePulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_server.start()) {
            GTEST_SKIP() << "no PulseAudio server for this test: " << m_server.error();
        }
        m_home = QString::fromStdString(m_server.dir() + "/home");
        ASSERT_TRUE(QDir().mkpath(m_home));
        MonitorOptions options;
        options.htmlExport = true;
        writeDataFolder(m_home, options);
    }

    /// tolvana-decode on VirtualMic, once it says it captures.
    std::unique_ptr<LiveDecode> startDecoding() {
        auto decode = std::make_unique<LiveDecode>(std::vector<std::string>{
            "--home", m_home.toStdString(), "--json", "--device", PulseServer::kCaptureDevice});
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (decode->err().find("capturing from") == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "not capturing: " << decode->err();
                return nullptr;
            }
            std::this_thread::sleep_for(20ms);
        }
        return decode;
    }

    PulseServer m_server;
    QString m_home;
};

TEST_F(SoundCardDecodePulse, ListsTheCaptureDevice) {
    const CliResult r = runDecode({"--list-devices"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("0\tVirtualMic"), std::string::npos) << r.out;
}

TEST_F(SoundCardDecodePulse, DecodesWhatTheReceiversSendUntilSigterm) {
    TrafficOptions o;
    o.count = 2;
    o.seed = 7;
    o.minGapSeconds = 0.5;
    o.maxGapSeconds = 1.0;
    o.kennungs = {"62345678", "61234567"};
    const Traffic traffic = makeTraffic(o);
    const std::string wav = m_server.dir() + "/receivers.wav";
    writeRecording(wav, traffic.stereoPcm(), 2, kSampleRate);

    const std::unique_ptr<LiveDecode> decode = startDecoding();
    ASSERT_TRUE(decode);
    const qint64 playedFrom = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(m_server.play(wav));
    ASSERT_TRUE(decode->waitForLines(traffic.expected.size(), 30s))
        << decode->lines().size() << " of " << traffic.expected.size() << " lines; "
        << decode->err();
    const qint64 heardBy = QDateTime::currentSecsSinceEpoch();
    decode->kill(SIGTERM);
    EXPECT_EQ(decode->wait(20s), 0) << decode->err();

    std::vector<std::string> expected = traffic.printedLines();
    for (const LiveDecode::Line& line : decode->lines()) {
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(line.text)).object();
        const std::string printed = json.value(QStringLiteral("channel")).toString().toStdString() +
                                    "\t" +
                                    json.value(QStringLiteral("line")).toString().toStdString();
        const auto found = std::find(expected.begin(), expected.end(), printed);
        ASSERT_NE(found, expected.end()) << "not sent or twice: " << printed;
        expected.erase(found);
        // Stamped with the wall clock while it was played.
        const qint64 at =
            QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODate)
                .toSecsSinceEpoch();
        EXPECT_GE(at, playedFrom - 1) << printed;
        EXPECT_LE(at, heardBy + 1) << printed;
    }
    EXPECT_TRUE(readFile(m_home + "/status.html").endsWith("</HTML>\r\n"));
}

TEST_F(SoundCardDecodePulse, ADeviceThatGoesAwayEndsWithAMessageAndExitCode3) {
    const std::unique_ptr<LiveDecode> decode = startDecoding();
    ASSERT_TRUE(decode);
    ASSERT_TRUE(m_server.removeCaptureDevice());
    EXPECT_EQ(decode->wait(20s), 3) << decode->err();
    EXPECT_NE(decode->err().find("Die Soundkarte \"VirtualMic\" liefert keinen Ton mehr"),
              std::string::npos)
        << decode->err();
}

} // namespace
} // namespace tolvana::test
