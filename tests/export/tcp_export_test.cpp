// The TCP export against a real receiver on the loopback interface: what
// arrives, what is dropped while the receiver is away, how the supervision
// tick brings the connection back, and the headless wait and flush.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "event_wait.h"
#include "export/export_line.h"
#include "export/tcp_export.h"

namespace tolvana {
namespace {

using test::waitFor;

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;

/// A receiving program: listens on 127.0.0.1 and keeps the bytes of every
/// connection it accepted, in order.
class Receiver {
public:
    bool listen(quint16 port = 0) {
        if (!m_server.listen(QHostAddress::LocalHost, port)) {
            return false;
        }
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                const std::size_t index = m_received.size();
                m_received.emplace_back();
                m_sockets.append(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket, index] { m_received[index] += socket->readAll(); });
            }
        });
        return true;
    }

    /// Goes away: drops every connection and stops listening.
    void stop() {
        for (QTcpSocket* socket : std::as_const(m_sockets)) {
            socket->abort();
        }
        m_server.close();
        QObject::disconnect(&m_server, nullptr, nullptr, nullptr);
    }

    quint16 port() const { return m_server.serverPort(); }
    std::size_t connections() const { return m_received.size(); }
    const QByteArray& received(std::size_t connection) const { return m_received.at(connection); }

private:
    QTcpServer m_server;
    QList<QTcpSocket*> m_sockets;
    std::vector<QByteArray> m_received;
};

/// A port on which nobody listens.
quint16 closedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

struct StateReport {
    int state;
    quint32 colour;
};

void recordReports(TcpExport& exporter, const std::shared_ptr<std::vector<StateReport>>& into) {
    QObject::connect(&exporter, &TcpExport::stateChecked, &exporter,
                     [into](int state, quint32 colour) { into->push_back({state, colour}); });
}

// Umlauts, an en dash and the euro sign: each one byte in Windows-1252.
const std::string kZveiLine = zveiExportLine("12345", "L\u00F6schzug S\u00FCd");
const QByteArray kZveiBytes("##ZVEI#12345#L\xF6schzug S\xFC" "d#+");
const std::string kPocsagLine = pocsagExportLine(1234567, 3, "\u00D6lspur B27 \u2013 5\u20AC");
const QByteArray kPocsagBytes("##POC#1234567#3#\xD6lspur B27 \x96 5\x80#+");
const std::string kFmsLine = fmsExportLine(FmsTelegram{"62345678", 2, 3, 0});
const QByteArray kFmsBytes("##FMS#62345678#3#20#+");

TEST(TcpExportReceiver, ReconnectsAfterTheReceiverCameBackAndLosesOnlyTheLinesInBetween) {
    Receiver receiver;
    ASSERT_TRUE(receiver.listen());
    const quint16 port = receiver.port();

    TcpExport exporter;
    auto reports = std::make_shared<std::vector<StateReport>>();
    recordReports(exporter, reports);
    exporter.setTarget(QStringLiteral("127.0.0.1"), port);
    EXPECT_EQ(exporter.state(), 0);

    exporter.connectExport();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.connections() == 1; }));
    exporter.supervise();
    exporter.send(kZveiLine);
    exporter.send(kPocsagLine);
    ASSERT_TRUE(waitFor([&] { return receiver.received(0).size() >= kZveiBytes.size() + kPocsagBytes.size(); }));
    EXPECT_EQ(receiver.received(0), kZveiBytes + kPocsagBytes);

    // The receiver goes away: the error closes the connection (state 0).
    receiver.stop();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 0; }));
    exporter.send(kFmsLine); // closed: lost

    // The tick reports 0 and tries again; nobody listens, so it fails.
    exporter.supervise();
    const int whileTrying = exporter.state();
    EXPECT_TRUE(whileTrying == 0 || whileTrying == 4 || whileTrying == 6) << whileTrying;
    exporter.send(kFmsLine); // connecting (or already refused): lost as well
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 0; }));

    // The receiver comes back on its port; the next tick reconnects.
    ASSERT_TRUE(receiver.listen(port));
    exporter.supervise();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.connections() == 2; }));
    exporter.supervise();
    exporter.send(kFmsLine);
    // A last line as the marker: once it is in, anything sent before it
    // (a lost line sent late, a line twice) would be in too.
    exporter.send(kZveiLine);
    ASSERT_TRUE(waitFor([&] { return receiver.received(1).endsWith(kZveiBytes); }));

    EXPECT_EQ(receiver.received(0), kZveiBytes + kPocsagBytes);
    EXPECT_EQ(receiver.received(1), kFmsBytes + kZveiBytes);
    EXPECT_EQ(receiver.connections(), 2u);

    // Every tick reported the state it found, with the indicator colour.
    ASSERT_EQ(reports->size(), 4u);
    const std::vector<std::pair<int, quint32>> expected = {{7, kGreen}, {0, kRed}, {0, kRed}, {7, kGreen}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(reports->at(i).state, expected[i].first) << "tick " << i;
        EXPECT_EQ(reports->at(i).colour, expected[i].second) << "tick " << i;
    }
}

TEST(TcpExportReceiver, TheSupervisionTimerRetriesUntilTheReceiverListens) {
    const quint16 port = closedPort();
    TcpExport exporter;
    auto reports = std::make_shared<std::vector<StateReport>>();
    recordReports(exporter, reports);
    exporter.setTarget(QStringLiteral("127.0.0.1"), port);

    // A short period so the test does not wait seconds for each tick.
    exporter.startSupervision(20);
    EXPECT_TRUE(exporter.supervising());
    ASSERT_TRUE(waitFor([&] { return reports->size() >= 3; }));
    EXPECT_NE(exporter.state(), 7);

    Receiver receiver;
    ASSERT_TRUE(receiver.listen(port));
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.connections() == 1; }));
    const std::size_t ticksSoFar = reports->size();
    ASSERT_TRUE(waitFor([&] { return reports->size() >= ticksSoFar + 3; }));
    // Connected: the ticks leave the connection alone.
    EXPECT_EQ(receiver.connections(), 1u);
    EXPECT_EQ(reports->back().state, 7);

    exporter.stopSupervision();
    EXPECT_FALSE(exporter.supervising());
    exporter.close();
    EXPECT_EQ(exporter.state(), 0);
}

TEST(TcpExportReceiver, StartConnectsAtOnceAndAnEmptyServerMeansLocalhost) {
    Receiver receiver;
    ASSERT_TRUE(receiver.listen());
    TcpExport exporter;
    EXPECT_EQ(exporter.start(QString(), receiver.port()), QStringLiteral("localhost"));
    EXPECT_EQ(exporter.server(), QStringLiteral("localhost"));
    EXPECT_EQ(exporter.port(), receiver.port());
    EXPECT_TRUE(exporter.supervising());
    EXPECT_NE(exporter.state(), 0); // connecting without waiting for a tick
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7; }));
    exporter.send(kFmsLine);
    ASSERT_TRUE(waitFor([&] { return receiver.connections() == 1 && receiver.received(0) == kFmsBytes; }));

    exporter.stop();
    EXPECT_FALSE(exporter.supervising());
    EXPECT_EQ(exporter.state(), 0);
}

TEST(TcpExportReceiver, ConnectExportReplacesAStandingConnection) {
    Receiver receiver;
    ASSERT_TRUE(receiver.listen());
    TcpExport exporter;
    exporter.setTarget(QStringLiteral("127.0.0.1"), receiver.port());
    exporter.connectExport();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.connections() == 1; }));
    exporter.connectExport();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.connections() == 2; }));
    exporter.send(kZveiLine);
    ASSERT_TRUE(waitFor([&] { return receiver.received(1) == kZveiBytes; }));
    EXPECT_TRUE(receiver.received(0).isEmpty());
}

// The headless program runs no event loop: it waits for the connection, sends,
// and flushes before it ends.
TEST(TcpExportHeadless, WaitsForTheConnectionAndFlushesEveryLine) {
    Receiver receiver;
    ASSERT_TRUE(receiver.listen());
    TcpExport exporter;
    exporter.setTarget(QStringLiteral("127.0.0.1"), receiver.port());
    ASSERT_TRUE(exporter.waitForConnected(5000));
    EXPECT_EQ(exporter.state(), 7);

    QByteArray expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = pocsagExportLine(static_cast<std::uint32_t>(1000000 + i), i % 4,
                                                  "Text \u00E4\u00F6\u00FC " + std::to_string(i));
        exporter.send(line);
        expected += "##POC#" + QByteArray::number(1000000 + i) + "#" + QByteArray::number(i % 4) +
                    "#Text \xE4\xF6\xFC " + QByteArray::number(i) + "#+";
    }
    EXPECT_TRUE(exporter.flush(5000));
    exporter.close();

    ASSERT_TRUE(waitFor([&] { return receiver.connections() == 1 && receiver.received(0).size() >= expected.size(); }));
    EXPECT_EQ(receiver.received(0), expected);
}

TEST(TcpExportHeadless, WaitForConnectedFailsWhenNobodyListens) {
    TcpExport exporter;
    exporter.setTarget(QStringLiteral("127.0.0.1"), closedPort());
    EXPECT_TRUE(exporter.connectionProblem().isEmpty());
    EXPECT_FALSE(exporter.waitForConnected(2000));
    EXPECT_EQ(exporter.state(), 0);
    // Refused at once, and said so: not "no answer within 2 s".
    EXPECT_EQ(exporter.connectionProblem(), QStringLiteral("Connection refused"));
    exporter.send(kFmsLine); // dropped, no effect
    EXPECT_TRUE(exporter.flush(100));
}

// A receiver that misbehaves must not make the program's memory grow: what it
// sends is thrown away, and while it does not read, lines beyond a bounded
// backlog are dropped, whole, as lines to a closed connection are.
class PeerOnce {
public:
    bool listen() {
        if (!m_server.listen(QHostAddress::LocalHost, 0)) {
            return false;
        }
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                         [this] { m_peer = m_server.nextPendingConnection(); });
        return true;
    }
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket* peer() const { return m_peer; }

private:
    QTcpServer m_server;
    QTcpSocket* m_peer = nullptr;
};

TEST(TcpExportBadReceiver, BytesFromTheReceiverAreReadAndThrownAway) {
    PeerOnce receiver;
    ASSERT_TRUE(receiver.listen());
    TcpExport exporter;
    exporter.setTarget(QStringLiteral("127.0.0.1"), receiver.port());
    exporter.connectExport();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.peer() != nullptr; }));
    auto* own = exporter.findChild<QTcpSocket*>();
    ASSERT_NE(own, nullptr);

    const QByteArray flood(4 << 20, 'x');
    receiver.peer()->write(flood);
    ASSERT_TRUE(waitFor([&] { return receiver.peer()->bytesToWrite() == 0; }));
    EXPECT_TRUE(waitFor([&] { return own->bytesAvailable() == 0; }));

    QByteArray got;
    QObject::connect(receiver.peer(), &QTcpSocket::readyRead, receiver.peer(),
                     [&] { got += receiver.peer()->readAll(); });
    exporter.send(kFmsLine);
    EXPECT_TRUE(waitFor([&] { return got == kFmsBytes; }));
}

TEST(TcpExportBadReceiver, AReceiverThatStopsReadingHoldsABoundedBacklog) {
    PeerOnce receiver;
    ASSERT_TRUE(receiver.listen());
    TcpExport exporter;
    exporter.setTarget(QStringLiteral("127.0.0.1"), receiver.port());
    exporter.connectExport();
    ASSERT_TRUE(waitFor([&] { return exporter.state() == 7 && receiver.peer() != nullptr; }));
    auto* own = exporter.findChild<QTcpSocket*>();
    ASSERT_NE(own, nullptr);
    // The receiver takes a few bytes and then no more; the system's buffers
    // fill, and everything else waits in the export's connection.
    receiver.peer()->setReadBufferSize(4096);

    // Numbered lines of equal length, about 20 MB in all.
    const auto line = [](int i) { return pocsagExportLine(static_cast<std::uint32_t>(1000000 + i), 3, std::string(800, 'a')); };
    const auto lineBytes = static_cast<qint64>(line(0).size());
    constexpr int kLines = 24000;
    for (int i = 0; i < kLines; ++i) {
        exporter.send(line(i));
    }
    EXPECT_LE(own->bytesToWrite(), kExportMaxPendingBytes + lineBytes);

    // It reads again: what was kept arrives. A line sent now as the marker:
    // once it is in, everything kept before it is in.
    QByteArray got;
    receiver.peer()->setReadBufferSize(0);
    QObject::connect(receiver.peer(), &QTcpSocket::readyRead, receiver.peer(),
                     [&] { got += receiver.peer()->readAll(); });
    got += receiver.peer()->readAll();
    ASSERT_TRUE(waitFor([&] { return own->bytesToWrite() == 0; }));
    const std::string marker = pocsagExportLine(2000000, 0, "Ende");
    exporter.send(marker);
    ASSERT_TRUE(waitFor([&] { return got.endsWith(QByteArray::fromStdString(marker)); }));

    // The lines kept are the first ones sent, whole and in order, and at
    // least the whole backlog of them; those dropped came after.
    got.chop(static_cast<qsizetype>(marker.size()));
    ASSERT_EQ(got.size() % lineBytes, 0);
    const qint64 kept = got.size() / lineBytes;
    EXPECT_GE(kept * lineBytes, kExportMaxPendingBytes);
    EXPECT_LT(kept, kLines);
    for (qint64 i = 0; i < kept; ++i) {
        ASSERT_EQ(got.mid(i * lineBytes, lineBytes), QByteArray::fromStdString(line(static_cast<int>(i)))) << "line " << i;
    }
}

struct StateRow {
    int state;
    std::uint32_t colour;
};

TEST(TcpExportState, IndicatorColoursFollowTheStateTable) {
    const std::vector<StateRow> table = {
        {0, kRed},      {1, 0x00FFFF}, {2, kRed},  {3, 0x000000}, {4, 0xFFFFFF}, {5, kRed},
        {6, 0x000000},  {7, kGreen},   {8, kRed},  {9, kRed},     {-1, kRed},    {42, kRed}};
    for (const StateRow& row : table) {
        EXPECT_EQ(connectionIndicatorColour(row.state), row.colour) << "state " << row.state;
    }
    EXPECT_EQ(kConnectionIndicatorUnknown, 0xC0C0C0u);
}

TEST(TcpExportState, SocketStatesMapToTheirNumbers) {
    const std::vector<std::pair<QAbstractSocket::SocketState, int>> table = {
        {QAbstractSocket::UnconnectedState, 0}, {QAbstractSocket::HostLookupState, 4},
        {QAbstractSocket::ConnectingState, 6},  {QAbstractSocket::ConnectedState, 7},
        {QAbstractSocket::ClosingState, 8},     {QAbstractSocket::BoundState, 1}};
    for (const auto& [socketState, number] : table) {
        EXPECT_EQ(static_cast<int>(exportConnectionState(socketState)), number) << socketState;
    }
}

} // namespace
} // namespace tolvana
