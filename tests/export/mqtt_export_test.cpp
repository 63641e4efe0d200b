// The MQTT export against a real Mosquitto broker on 127.0.0.1: topics and
// payloads, the broker stopped and started again while receptions keep
// coming (nothing lost that the queue holds, nothing twice, the bound holds),
// a wrong password said once, the retained board after a restart, and TLS.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/mqtt_export.h"
#include "export/reception_json.h"
#include "mqtt_broker.h"

namespace tolvana {
namespace {

using test::Broker;
using test::BrokerOptions;
using test::Received;
using test::Subscriber;

constexpr int kBoundMs = 15000;

TimePoint at(int second) {
    return TimePoint(std::chrono::milliseconds(1796655120000LL + second * 1000LL));
}

class Log {
public:
    MqttExport::Logger logger() {
        return [this](const std::string& line) {
            const std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        };
    }
    int count(const std::string& part) const {
        const std::lock_guard lock(m_mutex);
        return static_cast<int>(std::count_if(m_lines.begin(), m_lines.end(), [&](const std::string& l) {
            return l.find(part) != std::string::npos;
        }));
    }
    std::string all() const {
        const std::lock_guard lock(m_mutex);
        std::string s;
        for (const std::string& l : m_lines) {
            s += l + "\n";
        }
        return s;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

template <typename Condition> bool eventually(Condition condition, int boundMs = kBoundMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

MqttSettings settingsFor(const Broker& broker) {
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = broker.port();
    s.station = QStringLiteral("Nord");
    return s;
}

QJsonObject withStation(QJsonObject o) {
    o.insert(QStringLiteral("station"), QStringLiteral("Nord"));
    return o;
}

QJsonObject parsed(const std::string& payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

/// The receptions among what arrived (not the online flag, not the barrier).
std::vector<Received> receptions(const std::vector<Received>& all) {
    std::vector<Received> out;
    for (const Received& r : all) {
        if (r.topic.find("/online") == std::string::npos && r.topic.rfind("tolvana-test/", 0) != 0) {
            out.push_back(r);
        }
    }
    return out;
}

class MqttExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::mosquittoBinary().empty()) {
            GTEST_SKIP() << "the Mosquitto broker is not installed (tools/install-deps.sh installs it)";
        }
    }
};

TEST_F(MqttExportTest, ReceptionsArriveWithTheirTopicsAndTheJsonOfTheDecoder) {
    Broker broker;
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;
    Subscriber live(broker.port());
    ASSERT_TRUE(live.subscribe("tolvana/#"));

    Log log;
    MqttExport mqtt(log.logger());
    ASSERT_TRUE(mqtt.start(settingsFor(broker), &error)) << error;
    ASSERT_TRUE(mqtt.waitForConnected(kBoundMs)) << log.all();
    EXPECT_EQ(mqtt.topicBase(), "tolvana/Nord");

    const FmsTelegram status3{"62345678", 2, 3, 0};
    const FmsTelegram speak{"62345678", 2, 5, 0};     // a request to speak: no new board status
    const FmsTelegram order{"71112222", 0, 12, 1};    // control room to vehicle: none either
    const FmsTelegram status2{"6234ABCD", 1, 2, 0};
    const PocsagPage page{1234567, 3, "Probealarm \u00DCbung"};
    mqtt.fms(ChannelSide::Left, status3, "", "Florian Nord 1", at(0));
    mqtt.fms(ChannelSide::Right, speak, "", "Florian Nord 1", at(1));
    mqtt.fms(ChannelSide::Left, order, "EINSATZ", "", at(2));
    mqtt.fms(ChannelSide::Left, status2, "", "", at(3));
    mqtt.zvei(ChannelSide::Right, "12345", "FF Musterstadt", at(4));
    mqtt.pocsag(ChannelSide::Left, page, "Wehrf\u00FChrer", at(5));
    mqtt.tone(ChannelSide::Right, ToneCall::ToneII, at(6));
    ASSERT_TRUE(mqtt.flush(kBoundMs)) << log.all();
    EXPECT_EQ(mqtt.counters().acknowledged, 7U);
    EXPECT_EQ(mqtt.counters().dropped, 0U);

    ASSERT_TRUE(live.waitForCount(1 + 7 + 2));
    const std::vector<Received> got = receptions(live.messages());
    // Receptions in the order they were handed on; a status that moves a
    // vehicle on the board follows its reception as a retained message of
    // the vehicle.
    std::vector<std::string> topics;
    for (const Received& r : got) {
        topics.push_back(r.topic);
    }
    const std::vector<std::string> expectedTopics = {
        "tolvana/Nord/fms",  "tolvana/Nord/vehicle/62345678", "tolvana/Nord/fms",
        "tolvana/Nord/fms",  "tolvana/Nord/fms", "tolvana/Nord/vehicle/6234ABCD",
        "tolvana/Nord/zvei", "tolvana/Nord/pocsag", "tolvana/Nord/tone"};
    ASSERT_EQ(topics, expectedTopics);
    EXPECT_EQ(parsed(got[0].payload), withStation(fmsJson(ChannelSide::Left, status3, "", "Florian Nord 1", at(0))));
    EXPECT_EQ(parsed(got[1].payload), parsed(got[0].payload));
    EXPECT_EQ(parsed(got[3].payload), withStation(fmsJson(ChannelSide::Left, order, "EINSATZ", "", at(2))));
    EXPECT_EQ(parsed(got[6].payload), withStation(zveiJson(ChannelSide::Right, "12345", "FF Musterstadt", at(4))));
    EXPECT_EQ(parsed(got[7].payload), withStation(pocsagJson(ChannelSide::Left, page, "Wehrf\u00FChrer", at(5))));
    EXPECT_EQ(parsed(got[8].payload), withStation(toneJson(ChannelSide::Right, ToneCall::ToneII, at(6))));
    EXPECT_EQ(parsed(got[7].payload).value(QStringLiteral("text")).toString(),
              QStringLiteral("Probealarm \u00DCbung"));

    // A dashboard that comes later sees the board and the station's state at once.
    Subscriber later(broker.port());
    ASSERT_TRUE(later.subscribe("tolvana/Nord/#"));
    ASSERT_TRUE(later.waitForCount(3));
    std::vector<Received> retained = later.messages();
    std::sort(retained.begin(), retained.end(), [](const Received& a, const Received& b) { return a.topic < b.topic; });
    ASSERT_EQ(retained.size(), 3U);
    EXPECT_EQ(retained[0].topic, "tolvana/Nord/online");
    EXPECT_EQ(retained[0].payload, "true");
    EXPECT_EQ(retained[1].topic, "tolvana/Nord/vehicle/62345678");
    EXPECT_TRUE(retained[1].retained);
    EXPECT_EQ(parsed(retained[1].payload).value(QStringLiteral("status")).toInt(), 3);

    EXPECT_TRUE(mqtt.stop(kBoundMs));
    Subscriber afterStop(broker.port());
    ASSERT_TRUE(afterStop.subscribe("tolvana/Nord/online"));
    ASSERT_TRUE(afterStop.waitForCount(1));
    EXPECT_EQ(afterStop.messages()[0].payload, "false");
    EXPECT_EQ(log.count("connected to 127.0.0.1:"), 1) << log.all();
}

TEST_F(MqttExportTest, BrokerRestartLosesNothingTheQueueHoldsAndSendsNothingTwice) {
    BrokerOptions options;
    options.persistence = true; // keeps the subscriber's session while it is away
    Broker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;
    Subscriber dashboard(broker.port(), "tolvana-test-dashboard");
    ASSERT_TRUE(dashboard.subscribe("tolvana/Nord/pocsag"));

    Log log;
    MqttExport mqtt(log.logger());
    mqtt.setReconnectDelay(1, 2);
    MqttSettings s = settingsFor(broker);
    s.queueLimit = 20;
    ASSERT_TRUE(mqtt.start(s, &error)) << error;
    ASSERT_TRUE(mqtt.waitForConnected(kBoundMs));

    const auto message = [&](int n) {
        mqtt.pocsag(ChannelSide::Left, PocsagPage{1000000U + static_cast<std::uint32_t>(n), 0, "Meldung " + std::to_string(n)}, "", at(n));
    };
    for (int n = 0; n < 5; ++n) {
        message(n);
    }
    ASSERT_TRUE(mqtt.flush(kBoundMs));
    ASSERT_TRUE(dashboard.waitForCount(5));
    ASSERT_TRUE(dashboard.barrier()); // its acknowledgements are in the broker's store
    dashboard.disconnect();

    broker.stop();
    ASSERT_TRUE(eventually([&] { return !mqtt.connected(); }));
    // 30 receptions while the broker is away, room for 20: the 10 oldest go.
    for (int n = 5; n < 35; ++n) {
        message(n);
    }
    MqttExport::Counters c = mqtt.counters();
    EXPECT_EQ(c.dropped, 10U);
    EXPECT_EQ(c.waiting, 20U);
    EXPECT_EQ(log.count("queue full"), 1) << log.all();

    ASSERT_TRUE(broker.start(&error)) << error;
    ASSERT_TRUE(eventually([&] { return mqtt.counters().connects == 2; })) << log.all();
    ASSERT_TRUE(mqtt.flush(kBoundMs)) << log.all();
    EXPECT_EQ(log.count("10 receptions were dropped"), 1) << log.all();

    ASSERT_TRUE(dashboard.subscribe("tolvana/Nord/pocsag"));
    ASSERT_TRUE(dashboard.waitForCount(25));
    ASSERT_TRUE(dashboard.barrier());
    std::vector<std::string> texts;
    for (const Received& r : dashboard.messages()) {
        texts.push_back(parsed(r.payload).value(QStringLiteral("text")).toString().toStdString());
    }
    std::vector<std::string> expected;
    for (int n = 0; n < 5; ++n) {
        expected.push_back("Meldung " + std::to_string(n));
    }
    for (int n = 15; n < 35; ++n) {
        expected.push_back("Meldung " + std::to_string(n));
    }
    EXPECT_EQ(texts, expected); // in order, each once
    EXPECT_EQ(mqtt.counters().acknowledged, 25U);
    EXPECT_TRUE(mqtt.stop(kBoundMs));
}

TEST_F(MqttExportTest, WrongPasswordIsSaidOnceWhileTheExportKeepsTrying) {
    BrokerOptions options;
    options.user = "tester";
    options.password = "geheim";
    Broker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;

    Log log;
    MqttExport wrong(log.logger());
    wrong.setReconnectDelay(1, 1);
    MqttSettings s = settingsFor(broker);
    s.username = QStringLiteral("tester");
    s.password = QStringLiteral("falsch");
    ASSERT_TRUE(wrong.start(s, &error)) << error;
    ASSERT_TRUE(eventually([&] { return wrong.counters().refusals >= 3; })) << log.all();
    wrong.pocsag(ChannelSide::Left, PocsagPage{1234567, 0, "wartet"}, "", at(0));
    EXPECT_FALSE(wrong.connected());
    EXPECT_EQ(log.count("refused the connection"), 1) << log.all();
    EXPECT_EQ(log.count("not authorised") + log.count("bad user name or password"), 1) << log.all();
    EXPECT_FALSE(wrong.stop(0)); // the reception could not be delivered, and says so
    EXPECT_EQ(log.count("1 receptions could not be delivered"), 1) << log.all();

    Log rightLog;
    MqttExport right(rightLog.logger());
    s.password = QStringLiteral("geheim");
    ASSERT_TRUE(right.start(s, &error)) << error;
    EXPECT_TRUE(right.waitForConnected(kBoundMs)) << rightLog.all();
    EXPECT_EQ(rightLog.count("refused"), 0);
    EXPECT_TRUE(right.stop(kBoundMs));
}

TEST_F(MqttExportTest, RetainedBoardIsPublishedAgainAfterTheBrokerForgotIt) {
    Broker broker; // no persistence: a restart forgets every retained message
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;
    Log log;
    MqttExport mqtt(log.logger());
    mqtt.setReconnectDelay(1, 1);
    ASSERT_TRUE(mqtt.start(settingsFor(broker), &error)) << error;
    ASSERT_TRUE(mqtt.waitForConnected(kBoundMs));
    mqtt.fms(ChannelSide::Left, FmsTelegram{"62340001", 2, 3, 0}, "", "", at(0));
    mqtt.fms(ChannelSide::Left, FmsTelegram{"62340002", 2, 4, 0}, "", "", at(1));
    mqtt.fms(ChannelSide::Right, FmsTelegram{"62340001", 2, 8, 0}, "", "", at(2)); // newer status
    ASSERT_TRUE(mqtt.flush(kBoundMs));

    broker.stop();
    ASSERT_TRUE(eventually([&] { return !mqtt.connected(); }));
    mqtt.fms(ChannelSide::Left, FmsTelegram{"62340003", 2, 1, 0}, "", "", at(3)); // while away
    ASSERT_TRUE(broker.start(&error)) << error;
    ASSERT_TRUE(eventually([&] { return mqtt.counters().connects == 2; })) << log.all();
    ASSERT_TRUE(mqtt.flush(kBoundMs));

    Subscriber dashboard(broker.port());
    ASSERT_TRUE(dashboard.subscribe("tolvana/Nord/vehicle/+"));
    ASSERT_TRUE(dashboard.waitForCount(3));
    ASSERT_TRUE(dashboard.barrier());
    std::vector<Received> board = dashboard.messages();
    std::sort(board.begin(), board.end(), [](const Received& a, const Received& b) { return a.topic < b.topic; });
    ASSERT_EQ(board.size(), 3U);
    const int expectedStatus[] = {8, 4, 1};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(board[i].retained);
        EXPECT_EQ(board[i].topic, "tolvana/Nord/vehicle/6234000" + std::to_string(i + 1));
        EXPECT_EQ(parsed(board[i].payload).value(QStringLiteral("status")).toInt(), expectedStatus[i]);
    }
    EXPECT_TRUE(mqtt.stop(kBoundMs));
}

TEST_F(MqttExportTest, TlsConnectsWithTheBrokersCaAndRefusesAnUnknownCertificate) {
    if (::access("/usr/bin/openssl", X_OK) != 0) {
        GTEST_SKIP() << "openssl is not installed (tools/install-deps.sh installs it)";
    }
    BrokerOptions options;
    options.tls = true;
    Broker broker(options);
    std::string error;
    ASSERT_TRUE(broker.start(&error)) << error;

    Log log;
    MqttExport trusted(log.logger());
    MqttSettings s = settingsFor(broker);
    s.tls = true;
    s.caFile = QString::fromStdString(broker.caFile());
    ASSERT_TRUE(trusted.start(s, &error)) << error;
    ASSERT_TRUE(trusted.waitForConnected(kBoundMs)) << log.all();
    trusted.zvei(ChannelSide::Left, "12345", "", at(0));
    EXPECT_TRUE(trusted.stop(kBoundMs));
    EXPECT_EQ(trusted.counters().acknowledged, 1U);
    EXPECT_EQ(log.count("could not be delivered"), 0) << log.all();

    // The system's certificates do not know the test CA: no connection, and
    // the reason said once however often it is tried.
    Log refusedLog;
    MqttExport unknown(refusedLog.logger());
    unknown.setReconnectDelay(1, 1);
    s.caFile.clear();
    ASSERT_TRUE(unknown.start(s, &error)) << error;
    EXPECT_FALSE(unknown.waitForConnected(3500));
    EXPECT_GE(refusedLog.count("certificate verify failed") + refusedLog.count("TLS"), 1) << refusedLog.all();
    EXPECT_LE(refusedLog.count("certificate verify failed"), 1) << refusedLog.all();
    unknown.stop(0);

    MqttExport missing(log.logger());
    s.caFile = QStringLiteral("/nonexistent/ca.pem");
    EXPECT_FALSE(missing.start(s, &error));
    EXPECT_NE(error.find("/nonexistent/ca.pem"), std::string::npos) << error;
}

TEST(MqttExportSettings, UnusableSettingsAreRefusedAtStart) {
    MqttExport mqtt;
    MqttSettings s;
    s.enabled = true;
    s.station = QStringLiteral("Nord/Süd");
    std::string error;
    EXPECT_FALSE(mqtt.start(s, &error));
    EXPECT_NE(error.find("Stationsname"), std::string::npos) << error;
}

} // namespace
} // namespace tolvana
