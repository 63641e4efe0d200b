// Many receivers, one picture: two tolvana-decode instances under different
// station names publish to one broker, one from a recording and one from a
// live pipe during which the broker is stopped and started again. A
// subscriber that keeps its session sees every reception of both exactly
// once, with its station, in the order each instance printed them, and each
// payload is the object --json printed plus the station.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "cli/cli_runner.h"
#include "cli/live_pipe.h"
#include "cli/monitor_scenario.h"
#include "mqtt_broker.h"
#include "support/signal.h"
#include "support/traffic.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

QJsonObject parsedJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

template <typename Condition> bool eventually(Condition condition, int boundMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

/// The receptions of one station as the subscriber got them, without "station".
std::vector<QJsonObject> receptionsOf(const std::vector<Received>& all, const std::string& station) {
    std::vector<QJsonObject> out;
    const std::string base = "tolvana/" + station + "/";
    for (const Received& r : all) {
        if (r.topic.rfind(base, 0) != 0 || r.topic == base + "online") {
            continue;
        }
        QJsonObject o = parsedJson(r.payload);
        EXPECT_EQ(o.value(QStringLiteral("station")).toString().toStdString(), station);
        EXPECT_EQ(r.topic, base + o.value(QStringLiteral("kind")).toString().toStdString());
        o.remove(QStringLiteral("station"));
        out.push_back(o);
    }
    return out;
}

std::vector<QJsonObject> printedJson(const std::vector<std::string>& lines) {
    std::vector<QJsonObject> out;
    for (const std::string& line : lines) {
        out.push_back(parsedJson(line));
    }
    return out;
}

TEST(MqttDecode, TwoStationsReachOneSubscriberCompleteThroughABrokerRestart) {
    if (mosquittoBinary().empty()) {
        GTEST_SKIP() << "the Mosquitto broker is not installed (tools/install-deps.sh installs it)";
    }
    BrokerOptions options;
    options.persistence = true; // the dashboard's session outlives the restart
    Broker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;
    Subscriber dashboard(broker.port(), "tolvana-test-leitstelle");
    ASSERT_TRUE(dashboard.subscribe("tolvana/+/+"));

    const std::string dir = makeTempDir("tolvana-mqtt-decode");
    const QString nord = QString::fromStdString(dir + "/nord");
    const QString sued = QString::fromStdString(dir + "/sued");
    for (const QString& home : {nord, sued}) {
        ASSERT_TRUE(QDir().mkpath(home));
        writeFile(home + "/mqtt.ini", QByteArray("enabled=1\nhost=127.0.0.1\nport=") +
                                          QByteArray::number(broker.port()) + "\nstation=unbenannt\n");
    }

    // Station Nord decodes a recording of both receivers.
    TrafficOptions a;
    a.seconds = 30.0;
    a.seed = 161;
    const Traffic nordTraffic = makeTraffic(a);
    const std::string wav = dir + "/nord.wav";
    writeRecording(wav, nordTraffic.stereoPcm(), 2, kSampleRate);
    DecodeProcess nordRun({"--home", nord.toStdString(), "--station", "Nord", "--json", "--start",
                           "2026-12-07 15:52:00", wav});

    // Station Sued listens live: one receiver, quiet gaps of at least 1.2 s.
    TrafficOptions b;
    b.seconds = 45.0;
    b.seed = 162;
    b.right = false;
    b.minGapSeconds = 1.2;
    b.maxGapSeconds = 2.0;
    const Traffic suedTraffic = makeTraffic(b);
    ASSERT_GE(suedTraffic.expected.size(), 9U);
    const std::vector<std::int16_t> pcm = suedTraffic.stereoPcm();
    LivePipeDecode suedRun({"--home", sued.toStdString(), "--station", "Sued", "--json", "--raw",
                            "--channels", "2", "--threads", "1", "--start", "2026-12-07 15:52:00", "-"});
    std::size_t fed = 0; // samples
    const auto feedUntil = [&](double seconds) {
        const auto until = std::min(pcm.size(), static_cast<std::size_t>(seconds * kSampleRate) * 2);
        ASSERT_TRUE(suedRun.feed(pcm.data() + fed, until - fed));
        fed = until;
    };
    // A cut one second after a transmission ends falls into the quiet gap
    // after it: everything before the cut has been handed on once it is fed.
    const std::size_t third = suedTraffic.expected.size() / 3;
    const double cut1 = suedTraffic.expected[third].endSeconds + 1.0;
    const double cut2 = suedTraffic.expected[2 * third].endSeconds + 1.0;
    const auto endedBefore = [&](double cut) {
        return static_cast<std::size_t>(std::count_if(
            suedTraffic.expected.begin(), suedTraffic.expected.end(),
            [&](const ExpectedReception& e) { return e.endSeconds < cut - 0.5; }));
    };

    feedUntil(cut1);
    const CliResult nordResult = nordRun.finish();
    ASSERT_EQ(nordResult.exitCode, 0) << nordResult.err;
    ASSERT_TRUE(suedRun.waitForPrinted(endedBefore(cut1))) << suedRun.errors();
    const std::size_t suedBefore = suedRun.printed().size();
    ASSERT_TRUE(eventually([&] {
        const auto got = dashboard.messages();
        return receptionsOf(got, "Nord").size() == nordResult.lines().size() &&
               receptionsOf(got, "Sued").size() == suedBefore;
    })) << suedRun.errors();
    ASSERT_TRUE(dashboard.barrier());

    // The broker goes away while Sued keeps receiving; it queues.
    broker.stop();
    feedUntil(cut2);
    ASSERT_TRUE(suedRun.waitForPrinted(endedBefore(cut2))) << suedRun.errors();
    ASSERT_TRUE(broker.start(&error)) << error;
    feedUntil(1e9);
    suedRun.closeInput();
    ASSERT_EQ(suedRun.finish(), 0) << suedRun.errors();
    const std::vector<std::string> suedLines = suedRun.printed();
    EXPECT_GT(suedLines.size(), endedBefore(cut2));
    EXPECT_EQ(suedRun.errors().find("could not be delivered"), std::string::npos) << suedRun.errors();

    ASSERT_TRUE(eventually([&] {
        return receptionsOf(dashboard.messages(), "Sued").size() >= suedLines.size();
    })) << suedRun.errors();
    ASSERT_TRUE(dashboard.barrier());
    const std::vector<Received> all = dashboard.messages();
    EXPECT_EQ(receptionsOf(all, "Nord"), printedJson(nordResult.lines()));
    EXPECT_EQ(receptionsOf(all, "Sued"), printedJson(suedLines));
    EXPECT_NE(suedRun.errors().find("connection to 127.0.0.1"), std::string::npos) << suedRun.errors();
    fs::remove_all(dir);
}

} // namespace
} // namespace tolvana::test
