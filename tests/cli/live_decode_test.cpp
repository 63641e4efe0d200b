// tolvana-decode as a live monitor on standard input, fed the way an SDR
// pipeline feeds it: in real time, with pauses of the sender. Every
// reception must be handed on while the sender pauses after it (not held
// back until more input comes), stamped with the wall clock (not the sample
// clock, which pauses would put behind), on one thread and on two. A stop
// signal mid-stream must hand everything on and write the page. Standard
// output is one output among others: a reader that goes away or stops
// reading must not stop decoding, logging or the page.
#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "support/signal.h"
#include "support/traffic.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyTime = std::chrono::steady_clock::time_point;

// Audio after a transmission's end that its decoder may need to close it.
constexpr double kCloseSeconds = 1.0;
// The sender's pauses: every reception must be out before a pause ends.
constexpr auto kPause = 1200ms;

struct Printed {
    std::string line; ///< "L\t##...#+"
    qint64 secondsSinceEpoch = 0;
};

Printed parse(const std::string& json) {
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    Printed p;
    p.line = o.value(QStringLiteral("channel")).toString().toStdString() + "\t" +
             o.value(QStringLiteral("line")).toString().toStdString();
    p.secondsSinceEpoch =
        QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate)
            .toSecsSinceEpoch();
    return p;
}

int logLines(const QString& home) {
    int lines = 0;
    const QDir logs(home + "/Logbuch");
    for (const QString& name : logs.entryList(QDir::Files)) {
        lines += static_cast<int>(readFile(logs.filePath(name)).count("\r\n"));
    }
    return lines;
}

/// Traffic of all three systems on both receivers with quiet time between
/// transmissions, from the vehicles of the data folder (so that each status
/// changes the page).
const Traffic& liveTraffic() {
    static const Traffic traffic = [] {
        TrafficOptions o;
        o.count = 2;
        o.seed = 4;
        o.minGapSeconds = 2.0;
        o.maxGapSeconds = 2.5;
        o.kennungs = {"62345678", "61234567"};
        return makeTraffic(o);
    }();
    return traffic;
}

/// One tolvana-decode reading the live pipe, with a data folder of its own.
struct Monitor {
    Monitor(const std::string& dir, int threads, const std::vector<std::string>& extra = {})
        : home(QString::fromStdString(dir + "/home" + std::to_string(threads))) {
        EXPECT_TRUE(QDir().mkpath(home));
        MonitorOptions options;
        options.htmlExport = true;
        writeDataFolder(home, options);
        std::vector<std::string> args{
            "--home", home.toStdString(), "--threads", std::to_string(threads), "--json", "--raw"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.emplace_back("-");
        decode = std::make_unique<LiveDecode>(args);
    }
    QString home;
    std::unique_ptr<LiveDecode> decode;
};

/// Sends the traffic to the monitors in real time, buffer by buffer, and
/// pauses after every reception (once its audio and a second of quiet are
/// out). Stops after `receptions` receptions (all when 0).
class Sender {
public:
    explicit Sender(const Traffic& traffic) : m_pcm(traffic.stereoPcm()) {
        for (const ExpectedReception& e : traffic.expected) {
            m_cuts.push_back(
                static_cast<std::size_t>((e.endSeconds + kCloseSeconds) * kSampleRate));
        }
        std::sort(m_cuts.begin(), m_cuts.end());
    }

    /// Frame after which the sender pauses for a reception ending at `endSeconds`.
    std::size_t cutFor(double endSeconds) const {
        const auto end = static_cast<std::size_t>((endSeconds + kCloseSeconds) * kSampleRate);
        return *std::lower_bound(m_cuts.begin(), m_cuts.end(), end);
    }
    /// When the frame was sent, on the test's clocks.
    SteadyTime sentAt(std::size_t frame) const { return m_sent.at(frame / kBlockFrames).first; }
    qint64 wallSecondsAt(std::size_t frame) const {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   m_sent.at(frame / kBlockFrames).second.time_since_epoch())
            .count();
    }

    /// Returns the frames sent.
    std::size_t run(std::vector<Monitor*> monitors, std::size_t receptions = 0) {
        const std::size_t frames = m_pcm.size() / 2;
        const std::size_t stopAt =
            receptions == 0 ? frames : std::min(frames, m_cuts.at(receptions - 1));
        auto due = std::chrono::steady_clock::now();
        std::size_t nextCut = 0;
        for (std::size_t frame = 0; frame < stopAt; frame += kBlockFrames) {
            const std::size_t n = std::min<std::size_t>(kBlockFrames, frames - frame);
            std::this_thread::sleep_until(due);
            for (Monitor* m : monitors) {
                EXPECT_TRUE(m->decode->send(m_pcm.data() + 2 * frame, 4 * n));
            }
            m_sent.emplace_back(std::chrono::steady_clock::now(), std::chrono::system_clock::now());
            due +=
                std::chrono::microseconds(static_cast<std::int64_t>(n) * 1'000'000 / kSampleRate);
            if (nextCut < m_cuts.size() && frame + kBlockFrames > m_cuts[nextCut]) {
                while (nextCut < m_cuts.size() && frame + kBlockFrames > m_cuts[nextCut]) {
                    ++nextCut;
                }
                if (frame + kBlockFrames < stopAt) {
                    std::this_thread::sleep_for(kPause);
                    due = std::chrono::steady_clock::now();
                }
            }
        }
        return std::min(frames, (stopAt + kBlockFrames - 1) / kBlockFrames * kBlockFrames);
    }

private:
    std::vector<std::int16_t> m_pcm;
    std::vector<std::size_t> m_cuts;
    std::vector<std::pair<SteadyTime, std::chrono::system_clock::time_point>> m_sent; // per buffer
};

class LiveDecodeTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = makeTempDir("tolvana-live-pipe"); }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string m_dir;
};

/// The first `count` receptions each printed, within the pause after its
/// audio, stamped with the wall-clock time at which its audio came.
void checkLiveReceptions(Monitor& monitor, const Sender& sender, std::size_t count,
                         const char* which) {
    SCOPED_TRACE(which);
    const Traffic& traffic = liveTraffic();
    std::vector<std::pair<Printed, SteadyTime>> got;
    for (const LiveDecode::Line& l : monitor.decode->lines()) {
        got.emplace_back(parse(l.text), l.at);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const ExpectedReception& e = traffic.expected[i];
        // A vehicle may send the same status twice: each line is used once.
        const auto found = std::find_if(got.begin(), got.end(),
                                        [&](const auto& g) { return g.first.line == e.printed(); });
        if (found == got.end()) {
            ADD_FAILURE() << "missing: " << e.printed();
            continue;
        }
        const std::pair<Printed, SteadyTime> line = *found;
        got.erase(found);
        const std::size_t cut = sender.cutFor(e.endSeconds);
        const auto lateBy = line.second - sender.sentAt(cut - 1);
        EXPECT_LT(lateBy, kPause)
            << e.printed() << " was held back until more input came ("
            << std::chrono::duration_cast<std::chrono::milliseconds>(lateBy).count()
            << " ms after its audio)";
        // Wall clock: not before its audio was sent, not after it was printed.
        const auto endFrame = static_cast<std::size_t>(e.endSeconds * kSampleRate);
        EXPECT_GE(line.first.secondsSinceEpoch, sender.wallSecondsAt(endFrame) - 1) << e.printed();
        EXPECT_LE(line.first.secondsSinceEpoch, sender.wallSecondsAt(cut - 1) + 2) << e.printed();
    }
}

TEST_F(LiveDecodeTest, EveryReceptionComesDuringTheSendersPauseWithWallClockTimes) {
    const Traffic& traffic = liveTraffic();
    ASSERT_GE(traffic.expected.size(), 4u);
    Monitor one(m_dir, 1);
    Monitor two(m_dir, 2);
    Sender sender(traffic);
    sender.run({&one, &two});
    one.decode->closeInput();
    two.decode->closeInput();
    EXPECT_EQ(one.decode->wait(20s), 0) << one.decode->err();
    EXPECT_EQ(two.decode->wait(20s), 0) << two.decode->err();
    EXPECT_EQ(one.decode->lines().size(), traffic.expected.size());
    EXPECT_EQ(two.decode->lines().size(), traffic.expected.size());
    checkLiveReceptions(one, sender, traffic.expected.size(), "one thread");
    checkLiveReceptions(two, sender, traffic.expected.size(), "two threads");
}

TEST_F(LiveDecodeTest, AStopSignalMidStreamHandsOnEverythingAndWritesThePage) {
    const Traffic& traffic = liveTraffic();
    Monitor one(m_dir, 1);
    Monitor two(m_dir, 2);
    Sender sender(traffic);
    const std::size_t sentFrames = sender.run({&one, &two}, 2);
    // Every transmission whose audio was sent before the signal counts,
    // also one that ended too late to be closed before it.
    const auto sent = static_cast<std::size_t>(std::count_if(
        traffic.expected.begin(), traffic.expected.end(), [&](const ExpectedReception& e) {
            return e.endSeconds * kSampleRate < static_cast<double>(sentFrames);
        }));
    ASSERT_LT(sent, traffic.expected.size());
    // The sender stays connected and quiet; the monitors are stopped.
    for (Monitor* m : {&one, &two}) {
        ASSERT_TRUE(m->decode->waitForLines(2, 10s)) << m->decode->lines().size() << " lines";
        m->decode->kill(SIGTERM);
    }
    for (Monitor* m : {&one, &two}) {
        EXPECT_EQ(m->decode->wait(20s), 0) << m->decode->err();
        EXPECT_EQ(m->decode->lines().size(), sent);
        EXPECT_EQ(logLines(m->home), static_cast<int>(sent));
        const QByteArray page = readFile(m->home + "/status.html");
        EXPECT_TRUE(page.endsWith("</HTML>\r\n")) << "no status page after the stop";
    }
    checkLiveReceptions(one, sender, 2, "one thread");
    checkLiveReceptions(two, sender, 2, "two threads");
}

/// A recording with many receptions and a data folder with the page on.
class OutputReaderTest : public LiveDecodeTest {
protected:
    void SetUp() override {
        LiveDecodeTest::SetUp();
        m_home = QString::fromStdString(m_dir + "/home");
        ASSERT_TRUE(QDir().mkpath(m_home));
        MonitorOptions options;
        options.htmlExport = true;
        writeDataFolder(m_home, options);
        TrafficOptions o;
        o.seconds = 90.0;
        o.seed = 12;
        o.minGapSeconds = 0.3;
        o.maxGapSeconds = 0.8;
        o.kennungs = {"62345678", "61234567"};
        m_traffic = makeTraffic(o);
        m_recording = m_dir + "/traffic.wav";
        writeRecording(m_recording, m_traffic.stereoPcm(), 2, kSampleRate);
    }
    std::vector<std::string> args() const {
        return {"--home",  m_home.toStdString(),  "--json",
                "--start", "2026-12-07 15:52:00", m_recording};
    }

    QString m_home;
    Traffic m_traffic;
    std::string m_recording;
};

TEST_F(OutputReaderTest, AReaderThatGoesAwayDoesNotStopTheMonitor) {
    ASSERT_GT(m_traffic.expected.size(), 20u);
    LiveDecode decode(args(), LiveDecode::Reader::Closes);
    EXPECT_EQ(decode.wait(60s), 0);
    const std::string err = decode.err();
    // Every reception logged, the page written, the broken pipe said once.
    EXPECT_EQ(logLines(m_home), static_cast<int>(m_traffic.expected.size()));
    EXPECT_TRUE(readFile(m_home + "/status.html").endsWith("</HTML>\r\n"));
    const auto said = err.find("standard output failed");
    EXPECT_NE(said, std::string::npos) << err;
    EXPECT_EQ(err.find("standard output failed", said + 1), std::string::npos) << err;
}

TEST_F(OutputReaderTest, AReaderThatStopsReadingDoesNotHoldUpDecoding) {
    ASSERT_GT(m_traffic.expected.size(), 20u);
    // The reader never reads while the program runs: its pipe holds a few
    // lines, the rest must not block anything.
    LiveDecode decode(args(), LiveDecode::Reader::Stalls);
    EXPECT_EQ(decode.wait(60s), 0);
    EXPECT_EQ(logLines(m_home), static_cast<int>(m_traffic.expected.size()));
    EXPECT_TRUE(readFile(m_home + "/status.html").endsWith("</HTML>\r\n"));
    EXPECT_NE(decode.err().find("lines could not be written"), std::string::npos) << decode.err();
    // What did get through is whole lines of receptions that were sent.
    const std::string out = decode.out();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    const std::vector<LiveDecode::Line> lines = decode.lines();
    ASSERT_LT(lines.size(), m_traffic.expected.size());
    std::vector<std::string> sent = m_traffic.printedLines();
    for (const LiveDecode::Line& l : lines) {
        const auto found = std::find(sent.begin(), sent.end(), parse(l.text).line);
        ASSERT_NE(found, sent.end()) << l.text;
        sent.erase(found);
    }
}

} // namespace
} // namespace tolvana::test
