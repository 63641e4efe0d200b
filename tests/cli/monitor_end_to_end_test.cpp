// tolvana-decode on a prepared data folder and a recording of a day's
// traffic, with real peers: a TCP receiver and a local-message server in this
// process, and an action program that writes down how it was called. Every
// output is checked for content and order, nothing missing and nothing extra:
// standard output, the TCP stream, the local messages, the action calls, the
// daily logs, the status files and the status page, byte for byte where the
// format is a file.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <map>

#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "support/signal.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

const QString kStartText = QStringLiteral("2026-12-07 15:52:00");

QDateTime startTime() { return QDateTime(QDate(2026, 12, 7), QTime(15, 52, 0)); }

/// Runs the event loop while `condition` is false, at most `boundMs`.
template <typename Condition> bool pumpUntil(Condition condition, int boundMs = 10000) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

/// True while a process runs `script` (it stands in the process's command
/// line; a process that has ended has none).
bool someProcessRuns(const QString& script) {
    const QByteArray path = script.toUtf8();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isProcess = false;
        entry.toInt(&isProcess);
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (isProcess && cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(path)) {
            return true;
        }
    }
    return false;
}

/// Mon.ini keeps the port in a 16-bit line, so the receiver listens on a
/// port below 32768 (the system hands out higher ones for port 0).
bool listenBelow32768(QTcpServer& server) {
    const auto first = static_cast<quint16>(20000 + QCoreApplication::applicationPid() % 10000);
    for (quint16 port = first; port < first + 500; ++port) {
        if (server.listen(QHostAddress::LocalHost, port)) {
            return true;
        }
    }
    return false;
}

/// The receiving programs: a TCP server on 127.0.0.1 and a local-message
/// server, both listening before tolvana-decode starts.
class Peers {
public:
    explicit Peers(const QString& localName) : m_localName(localName) {
        EXPECT_TRUE(listenBelow32768(m_tcp)) << m_tcp.errorString().toStdString();
        QLocalServer::removeServer(localName);
        EXPECT_TRUE(m_local.listen(localName)) << m_local.errorString().toStdString();
    }

    quint16 tcpPort() const { return m_tcp.serverPort(); }

    /// Text the TCP receiver sends to every new connection (some receivers
    /// greet or acknowledge; tolvana never reads it).
    void greetWith(const QByteArray& text) { m_greeting = text; }
    /// The TCP receiver closes its first connection once a line is in (and
    /// takes later ones as a restarted receiver would).
    void hangUpAfterOneLine() { m_hangUp = true; }

    /// Accepts and reads whatever has arrived.
    void serve() {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        while (m_tcp.hasPendingConnections()) {
            m_tcpClients.push_back(m_tcp.nextPendingConnection());
            if (!m_greeting.isEmpty()) {
                m_tcpClients.back()->write(m_greeting);
            }
        }
        while (m_local.hasPendingConnections()) {
            m_messages.push_back({m_local.nextPendingConnection(), QByteArray()});
        }
        m_perConnection.resize(m_tcpClients.size());
        for (std::size_t i = 0; i < m_tcpClients.size(); ++i) {
            QTcpSocket* s = m_tcpClients[i];
            const QByteArray bytes = s->isOpen() ? s->readAll() : QByteArray();
            m_tcpBytes += bytes;
            m_perConnection[i] += bytes;
            if (m_hangUp && i == 0 && m_perConnection[0].contains("#+") &&
                s->state() == QAbstractSocket::ConnectedState) {
                s->abort();
            }
        }
        for (auto& [socket, bytes] : m_messages) {
            bytes += socket->readAll();
        }
    }

    /// After the sender has ended: every connection closed and read.
    bool drain() {
        return pumpUntil([&] {
            serve();
            const bool tcpDone = std::all_of(m_tcpClients.begin(), m_tcpClients.end(), [](QTcpSocket* s) {
                return s->state() == QAbstractSocket::UnconnectedState && s->bytesAvailable() == 0;
            });
            const bool localDone = std::all_of(m_messages.begin(), m_messages.end(), [](const auto& m) {
                return m.first->state() == QLocalSocket::UnconnectedState && m.first->bytesAvailable() == 0;
            });
            return tcpDone && localDone;
        });
    }

    int tcpConnections() const { return static_cast<int>(m_tcpClients.size()); }
    const QByteArray& tcpBytes() const { return m_tcpBytes; }
    /// What arrived on each connection, in the order they were taken.
    const std::vector<QByteArray>& tcpBytesPerConnection() const { return m_perConnection; }
    std::vector<QByteArray> messages() const {
        std::vector<QByteArray> out;
        for (const auto& m : m_messages) {
            out.push_back(m.second);
        }
        return out;
    }

private:
    QString m_localName;
    QTcpServer m_tcp;
    QLocalServer m_local;
    std::vector<QTcpSocket*> m_tcpClients; // owned by the server
    QByteArray m_tcpBytes;
    std::vector<QByteArray> m_perConnection;
    QByteArray m_greeting;
    bool m_hangUp = false;
    std::vector<std::pair<QLocalSocket*, QByteArray>> m_messages;
};

class MonitorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = QString::fromStdString(makeTempDir("tolvana-e2e"));
        m_home = m_dir + "/home";
        ASSERT_TRUE(QDir().mkpath(m_home));
        m_recording = m_dir + "/Funkverkehr.wav";
        writeRecording(m_recording.toStdString(), monitorScenario().stereo, 2, kSampleRate);
    }
    void TearDown() override { fs::remove_all(m_dir.toStdString()); }

    std::vector<std::string> args(std::vector<std::string> extra = {}) const {
        std::vector<std::string> a{"--home", m_home.toStdString(), "--start", kStartText.toStdString()};
        a.insert(a.end(), extra.begin(), extra.end());
        a.push_back(m_recording.toStdString());
        return a;
    }

    static std::vector<const Transmission*> handedOn(Kind kind) {
        std::vector<const Transmission*> out;
        for (const Transmission& t : monitorScenario().transmissions) {
            if (t.handedOn && t.kind == kind) {
                out.push_back(&t);
            }
        }
        return out;
    }

    /// Checks one daily log byte for byte and returns each row's time by
    /// transmission. The time cell is the one value the test cannot know in
    /// advance; it must lie within the moments the reception can be handed on.
    std::map<const Transmission*, QDateTime> checkLog(const QString& file, Kind kind) {
        SCOPED_TRACE(file.toStdString());
        std::map<const Transmission*, QDateTime> times;
        const QByteArray bytes = readFile(m_home + "/Logbuch/" + file);
        QStringList lines = fromWindows1252(bytes).split(QStringLiteral("\r\n"));
        EXPECT_TRUE(lines.last().isEmpty()) << "the last line has no CR LF";
        lines.removeLast();
        const std::vector<const Transmission*> sent = handedOn(kind);
        EXPECT_EQ(lines.size(), static_cast<qsizetype>(sent.size()));
        QByteArray expected;
        for (std::size_t i = 0; i < sent.size() && i < static_cast<std::size_t>(lines.size()); ++i) {
            const Transmission& t = *sent[i];
            const QStringList cells = lines[static_cast<qsizetype>(i)].split(QLatin1Char('\t'));
            const QString timeCell = cells.value(t.timeColumn);
            const QDateTime at = parseRowTime(timeCell);
            const QDateTime end = startTime().addMSecs(static_cast<qint64>(t.endSeconds * 1000));
            EXPECT_TRUE(at.isValid()) << timeCell.toStdString();
            EXPECT_GE(at.secsTo(end), -2) << t.exportLine.toStdString();
            EXPECT_LE(at.secsTo(end), 1) << t.exportLine.toStdString();
            times[&t] = at;
            QStringList row = t.row;
            row[t.timeColumn] = timeCell;
            expected += windows1252(row.join(QLatin1Char('\t'))) + "\r\n";
        }
        EXPECT_EQ(bytes, expected);
        return times;
    }

    /// The three logs of 7 December 2026; the time of every handed-on reception.
    std::map<const Transmission*, QDateTime> checkLogs() {
        std::map<const Transmission*, QDateTime> times = checkLog(QStringLiteral("FMS-2026-12-7.txt"), Kind::Fms);
        times.merge(checkLog(QStringLiteral("zvei-2026-12-7.txt"), Kind::Zvei));
        times.merge(checkLog(QStringLiteral("poc-2026-12-7.txt"), Kind::Pocsag));
        EXPECT_EQ(QDir(m_home + "/Logbuch").entryList(QDir::Files).size(), 3);
        return times;
    }

    QString m_dir;
    QString m_home;
    QString m_recording;
};

std::vector<std::string> printedLines() {
    std::vector<std::string> out;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            out.push_back(t.printed());
        }
    }
    return out;
}

TEST_F(MonitorEndToEnd, EveryOutputInOrderNothingMissingNothingExtra) {
    // The action program lies in a folder with a blank and an umlaut, and
    // Mon.ini holds its path in Windows-1252, as earlier installations wrote it.
    const QString actionLog = m_dir + "/aktionen.txt";
    const QString action = m_dir + "/Aktion \u00DCbung.sh";
    writeFile(action, "#!/bin/sh\n"
                      "# One line per call, the arguments joined by '|', in one write.\n"
                      "line=\"$1\"; shift\n"
                      "for a in \"$@\"; do line=\"$line|$a\"; done\n"
                      "printf '%s\\n' \"$line\" >> '" + actionLog.toUtf8() + "'\n"
                      "# Whatever it prints must not end up among the receptions.\n"
                      "echo \"Aktion ausgef\u00FChrt: $line\"\n");
    QFile(action).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QString localName = QStringLiteral("tolvana-e2e-%1").arg(QCoreApplication::applicationPid());
    Peers peers(localName);
    MonitorOptions options;
    options.actionProgram = action;
    options.htmlExport = true;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = peers.tcpPort();
    options.messageExport = true;
    options.targetWindowTitle = localName;
    writeDataFolder(m_home, options);
    std::map<QString, QByteArray> tables;
    for (const char* name : {"Mon.ini", "Fzg.txt", "ZVEI.txt", "ZVEI_FMS_Zuord.txt", "filter_zvei.txt",
                             "filter_poc.txt"}) {
        tables[QString::fromLatin1(name)] = readFile(m_home + "/" + name);
    }

    DecodeProcess decode(args());
    const CliResult r = decode.finish([&] { peers.serve(); });
    ASSERT_TRUE(peers.drain());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");

    // Standard output: one line per reception handed on, in order.
    EXPECT_EQ(r.lines(), printedLines());

    // TCP: one connection, the lines back to back in Windows-1252.
    QByteArray stream;
    std::vector<QByteArray> messages;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            stream += windows1252(t.exportLine);
            messages.push_back(windows1252(t.exportLine) + '\0');
        }
    }
    EXPECT_EQ(peers.tcpConnections(), 1);
    EXPECT_EQ(peers.tcpBytes(), stream);
    // Local messages: one connection per line, the line and its zero byte.
    EXPECT_EQ(peers.messages(), messages);

    // The action program: once per call, with the values as its arguments.
    // The calls are started one after the other but run detached, so they
    // may finish in any order; the order of starting is the hand-off's
    // (tested with a fake starter).
    QStringList expectedCalls;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn && !t.action.isEmpty()) {
            expectedCalls << t.action.join(QLatin1Char('|'));
        }
    }
    const auto calls = [&] {
        QStringList lines = QString::fromUtf8(readFile(actionLog)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    };
    EXPECT_TRUE(pumpUntil([&] { return calls().size() >= expectedCalls.size(); }));
    // Every call was started (exec'd) before tolvana-decode ended; once none
    // of them runs any more, each one has written its line, and a call too
    // many would be in the file.
    EXPECT_TRUE(pumpUntil([&] { return !someProcessRuns(action); }));
    expectedCalls.sort();
    EXPECT_EQ(calls(), expectedCalls);

    // Daily logs, byte for byte.
    const std::map<const Transmission*, QDateTime> times = checkLogs();

    // Status files: only RTW 1 moved on the board, last to status 4 TKI 1.
    EXPECT_EQ(QDir(m_home + "/Status").entryList(QDir::Files), QStringList{QStringLiteral("0.txt")});
    const Transmission* lastMove = nullptr;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.vehicleIndex == 0) {
            lastMove = &t;
        }
    }
    ASSERT_NE(lastMove, nullptr);
    ASSERT_EQ(times.count(lastMove), 1u);
    EXPECT_EQ(readFile(m_home + "/Status/0.txt"),
              windows1252(lastMove->statusFileStart + times.at(lastMove).toString(QStringLiteral("dd.MM. HH:mm"))) +
                  "\r\n");

    // The tables and Mon.ini are read, never written.
    for (const auto& [name, bytes] : tables) {
        EXPECT_EQ(readFile(m_home + "/" + name), bytes) << name.toStdString();
    }
}

TEST_F(MonitorEndToEnd, StatusPageShowsTheBoardAndTheNewestCallsAndPages) {
    MonitorOptions options;
    options.htmlExport = true;
    writeDataFolder(m_home, options);
    const CliResult r = runDecode(args());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::map<const Transmission*, QDateTime> times = checkLogs();

    const QByteArray bytes = readFile(m_home + "/status.html");
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    const QString page = fromWindows1252(bytes);

    // Written on the minute timer of the recording clock: the first tick
    // after the last reception that changed the page (all but the unknown
    // vehicle's telegram do).
    QDateTime last;
    for (const auto& [t, at] : times) {
        const bool unknownVehicle = t->kind == Kind::Fms && t->row.value(0) == QStringLiteral("?");
        if (!unknownVehicle && at > last) {
            last = at;
        }
    }
    QDateTime tick = startTime().addSecs(60);
    while (tick < last) {
        tick = tick.addSecs(60);
    }
    EXPECT_TRUE(page.contains(QStringLiteral("letzte Daten\u00E4nderung: %1 - %2 Uhr (Refresh alle 60 Sekunden)\r\n")
                                  .arg(tick.toString(QStringLiteral("dd.MM.yyyy")),
                                       tick.toString(QStringLiteral("HH:mm:ss")))))
        << page.toStdString();

    // Board of 5 columns: RTW 1 (field 0) in the colour of status 4, LF 20
    // (field 1, below it) in that of status 6, which it has without a status file.
    EXPECT_TRUE(page.contains(QStringLiteral("<TR>\r\n<TD width=5% BGCOLOR=#FFC080>\r\n"
                                             "<font size=3 color=black>RTW 1</FONT>\r\n</TD>\r\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("<TR>\r\n<TD width=5% BGCOLOR=#E0E0E0>\r\n"
                                             "<font size=3 color=black>LF 20</FONT>\r\n</TD>\r\n")));

    // The lists, newest first, every text escaped for HTML.
    const auto section = [&](Kind kind, const QString& heading, const std::vector<int>& widths) {
        QString s = QStringLiteral("<H4>%1</H4>\r\n<TABLE width=800 Border=1>\r\n").arg(heading);
        std::vector<const Transmission*> rows = handedOn(kind);
        std::reverse(rows.begin(), rows.end());
        for (const Transmission* t : rows) {
            s += QStringLiteral("<TR>\r\n");
            QStringList cells = t->row;
            cells[t->timeColumn] = times.at(t).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
            for (std::size_t c = 0; c < widths.size(); ++c) {
                QString text = cells[static_cast<qsizetype>(c)];
                text.replace(u'&', QStringLiteral("&amp;"))
                    .replace(u'<', QStringLiteral("&lt;"))
                    .replace(u'>', QStringLiteral("&gt;"))
                    .replace(u'"', QStringLiteral("&quot;"));
                s += QStringLiteral("<TD width=%1% bgcolor=#E0E0E0>\r\n%2\r\n</TD>\r\n").arg(widths[c]).arg(text);
            }
            s += QStringLiteral("</TR>\r\n");
        }
        return s + QStringLiteral("</TABLE>\r\n");
    };
    const QString zvei = section(Kind::Zvei, QStringLiteral("Letzte ZVEI-Eing\u00E4nge"), {20, 20, 80});
    const QString poc = section(Kind::Pocsag, QStringLiteral("Letzte POC-Eing\u00E4nge"), {10, 10, 20, 25, 35});
    EXPECT_TRUE(page.contains(zvei + poc)) << "expected:\n" << (zvei + poc).toStdString() << "\npage:\n" << page.toStdString();
    // Umlauts stay characters of the page's code page; the HTML characters of
    // a pager text become entities.
    EXPECT_TRUE(page.contains(QStringLiteral("\u00DCbung &lt;\u00D6l&gt; &amp; &quot;Spur&quot;")));
}

TEST_F(MonitorEndToEnd, JsonCarriesEveryField) {
    writeDataFolder(m_home, MonitorOptions{});
    const CliResult r = runDecode(args({"--json"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::map<const Transmission*, QDateTime> times = checkLogs();

    std::vector<const Transmission*> sent;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            sent.push_back(&t);
        }
    }
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const Transmission& t = *sent[i];
        SCOPED_TRACE(lines[i]);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(lines[i]), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        QJsonObject expected = t.json;
        expected.insert(QStringLiteral("channel"), QString(QChar::fromLatin1(sideLetter(t.side))));
        // The time on the recording clock is the time of the log row.
        expected.insert(QStringLiteral("time"), times.at(&t).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        EXPECT_EQ(doc.object(), expected) << QJsonDocument(expected).toJson(QJsonDocument::Compact).toStdString();
    }
}

TEST_F(MonitorEndToEnd, MissingTcpReceiverIsReportedAndDecodingGoesOn) {
    // A port that was free a moment ago: nothing listens on it.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(listenBelow32768(probe));
        port = probe.serverPort();
    }
    MonitorOptions options;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = port;
    writeDataFolder(m_home, options);
    const CliResult r = runDecode(args());
    EXPECT_EQ(r.exitCode, 0);
    // Refused at once: the message says so, not that it waited.
    EXPECT_NE(r.err.find("TCP export: no connection to 127.0.0.1:" + std::to_string(port) + " (Connection refused)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.lines(), printedLines());
    checkLogs();
}

TEST_F(MonitorEndToEnd, TcpReceiverThatTalksBackGetsEveryLine) {
    const QString localName = QStringLiteral("tolvana-e2e-talk-%1").arg(QCoreApplication::applicationPid());
    Peers peers(localName);
    peers.greetWith(QByteArrayLiteral("Empfangsprogramm bereit\r\n"));
    MonitorOptions options;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = peers.tcpPort();
    writeDataFolder(m_home, options);

    DecodeProcess decode(args());
    const CliResult r = decode.finish([&] { peers.serve(); });
    ASSERT_TRUE(peers.drain());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    QByteArray stream;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            stream += windows1252(t.exportLine);
        }
    }
    EXPECT_EQ(peers.tcpBytes(), stream);
}

TEST_F(MonitorEndToEnd, TcpReceiverThatGoesAwayDoesNotStopDecoding) {
    const QString localName = QStringLiteral("tolvana-e2e-gone-%1").arg(QCoreApplication::applicationPid());
    Peers peers(localName);
    peers.hangUpAfterOneLine();
    MonitorOptions options;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = peers.tcpPort();
    writeDataFolder(m_home, options);

    DecodeProcess decode(args());
    const CliResult r = decode.finish([&] { peers.serve(); });
    ASSERT_TRUE(peers.drain());
    // Lines sent while no receiver listens are dropped (there is no queue),
    // but the program neither dies nor stops decoding.
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.lines(), printedLines());
    checkLogs();

    // The first connection carried the first lines, whole, up to the hang-up;
    // a second one (the once-a-second reconnect, if it came before the end)
    // carries the lines from its start to the last, none lost in between,
    // none twice. A reconnect that gets the later lines is shown with a
    // receiver that comes back during a longer run (DecodeRobustness).
    std::vector<QByteArray> lines;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            lines.push_back(windows1252(t.exportLine));
        }
    }
    const auto run = [&](std::size_t from, std::size_t to) {
        QByteArray bytes;
        for (std::size_t i = from; i < to; ++i) {
            bytes += lines[i];
        }
        return bytes;
    };
    const std::vector<QByteArray>& got = peers.tcpBytesPerConnection();
    ASSERT_GE(got.size(), 1u);
    ASSERT_LE(got.size(), 2u);
    std::size_t first = 0;
    while (first < lines.size() && got[0].size() > run(0, first).size()) {
        ++first;
    }
    EXPECT_GE(first, 1u);
    EXPECT_EQ(got[0], run(0, first));
    if (got.size() == 2) {
        std::size_t later = lines.size();
        while (later > first && got[1].size() > run(later, lines.size()).size()) {
            --later;
        }
        EXPECT_EQ(got[1], run(later, lines.size()));
    }
}

} // namespace
} // namespace tolvana::test
