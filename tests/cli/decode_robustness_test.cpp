// tolvana-decode under stress, as a user meets it: a data folder on a disk
// that fills up, a second monitor on the same folder, a folder that cannot be
// made, floating-point recordings, an input that breaks in the middle, a
// pager text that imitates export records, a TCP receiver that goes away and
// comes back, and an action program that must not inherit tolvana's files.
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

#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "cli/streamed_decode.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/signal.h"
#include "support/small_disk.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {
namespace {

namespace fs = std::filesystem;

constexpr char kStart[] = "2026-12-07 15:52:00";

/// Runs the event loop until `condition` holds, at most `boundMs`; the bound
/// only ends a test that would otherwise hang.
template <typename Condition> bool waitUntil(Condition condition, int boundMs = 20000) {
    const QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::int16_t> seconds(double s) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(s * kSampleRate), 0);
}

std::vector<std::int16_t> zveiCall(const std::string& number) {
    return toPcm(ZveiEncoder().call(number, 0.2, 0.5));
}

Signal pagerSignal(std::uint32_t ric, int function, const std::string& text) {
    PocsagCall call;
    call.ric = ric;
    call.function = function;
    call.content = germanSevenBit(text);
    return pocsagTransmission({call}, PocsagAir{});
}

/// A receiving program on 127.0.0.1 below port 32768: keeps the bytes of each
/// connection it took, and can go away and come back on the same port.
class TcpReceiver {
public:
    bool listen(quint16 port = 0) {
        if (port == 0) {
            const auto first = static_cast<quint16>(20000 + QCoreApplication::applicationPid() % 9000);
            for (port = first; port < first + 500; ++port) {
                if (m_server.listen(QHostAddress::LocalHost, port)) {
                    break;
                }
            }
        } else {
            m_server.listen(QHostAddress::LocalHost, port);
        }
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                const std::size_t index = m_received.size();
                m_received.emplace_back();
                m_sockets.push_back(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket, index] { m_received[index] += socket->readAll(); });
            }
        });
        return m_server.isListening();
    }
    /// Goes away: every connection dropped, no longer listening.
    void stop() {
        for (QTcpSocket* socket : m_sockets) {
            socket->abort();
        }
        m_server.close();
        QObject::disconnect(&m_server, nullptr, nullptr, nullptr);
    }
    quint16 port() const { return m_server.serverPort(); }
    std::size_t connections() const { return m_received.size(); }
    QByteArray received(std::size_t i) const { return i < m_received.size() ? m_received[i] : QByteArray(); }

private:
    QTcpServer m_server;
    std::vector<QTcpSocket*> m_sockets; // owned by the server
    std::vector<QByteArray> m_received;
};

class DecodeRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = makeTempDir("tolvana-robust");
        m_home = m_dir + "/home";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<std::string> args(std::vector<std::string> extra, const std::string& home = {}) const {
        std::vector<std::string> a{"--home", home.empty() ? m_home : home, "--start", kStart};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    QString home() const { return QString::fromStdString(m_home); }

    std::string m_dir;
    std::string m_home;
};

// One data folder, one monitor: a second tolvana-decode on the folder of a
// running one is refused before it reads or writes anything, with a message
// that names the folder and the other process; once the first has ended, the
// folder is free again.
TEST_F(DecodeRobustness, ASecondMonitorOnTheSameFolderIsRefused) {
    StreamedDecode first(args({"--raw", "--channels", "1", "-"}));
    const QString lockFile = home() + "/tolvana.lock";
    // The lock names its holder: the marker that the first one holds it.
    ASSERT_TRUE(waitUntil([&] { return readFile(lockFile).startsWith(QByteArray::number(first.pid()) + "\n"); }))
        << first.err();
    std::vector<std::int16_t> call = zveiCall("12345");
    const std::vector<std::int16_t> quiet = seconds(8.0);
    call.insert(call.end(), quiet.begin(), quiet.end());
    ASSERT_TRUE(first.feed(call));
    ASSERT_TRUE(waitUntil([&] { return first.out() == "L\t##ZVEI#12345##+\n"; })) << first.out();

    const std::string recording = m_dir + "/ruf.wav";
    writeRecording(recording, zveiCall("23456"), 1, kSampleRate);
    const CliResult second = runDecode(args({recording}));
    EXPECT_EQ(second.exitCode, 4);
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(second.err, "tolvana-decode: the data folder " + m_home + " is in use by another tolvana (process " +
                              std::to_string(first.pid()) +
                              "): one data folder serves one monitor at a time; stop the other one or give "
                              "another folder with --home\n");
    const QString log = home() + "/Logbuch/zvei-2026-12-7.txt";
    EXPECT_EQ(readFile(log).count("\r\n"), 1);

    first.endInput();
    const CliResult firstEnd = first.finish();
    EXPECT_EQ(firstEnd.exitCode, 0) << firstEnd.err;
    EXPECT_FALSE(QFile::exists(lockFile));
    const CliResult again = runDecode(args({recording}));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "L\t##ZVEI#23456##+\n");
    EXPECT_EQ(readFile(log).count("\r\n"), 2);
}

TEST_F(DecodeRobustness, ADataFolderThatCannotBeMadeIsReportedWithItsReason) {
    const std::string file = m_dir + "/Datei";
    std::ofstream(file) << "kein Ordner";
    const std::string recording = m_dir + "/ruf.wav";
    writeRecording(recording, zveiCall("12345"), 1, kSampleRate);

    CliResult r = runDecode(args({recording}, file + "/home"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tolvana-decode: cannot create the data folder " + file +
                         "/home: a part of the path is not a folder\n");

    r = runDecode(args({recording}, file));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tolvana-decode: cannot create the data folder " + file + ": a file stands in its place\n");
}

// The data folder on a disk that fills up between two runs: every reception
// is still decoded and printed, the status page and the status file of the
// first run stay as they were, each file that cannot be written is reported
// once, in English, saying that the disk is full, and the exit code says
// that not everything was kept. With room again, a run logs everything.
TEST_F(DecodeRobustness, AFullDiskLosesNoEarlierFileAndSaysSoOncePerFile) {
    SmallDisk disk(1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.why();
    }
    const std::string homeOnDisk = disk.path() + "/home";
    const QString h = QString::fromStdString(homeOnDisk);
    ASSERT_TRUE(QDir().mkpath(h));
    MonitorOptions options;
    options.htmlExport = true;
    writeDataFolder(h, options);
    const std::string recording = m_dir + "/Funkverkehr.wav";
    writeRecording(recording, monitorScenario().stereo, 2, kSampleRate);
    std::vector<std::string> printed;
    for (const Transmission& t : monitorScenario().transmissions) {
        if (t.handedOn) {
            printed.push_back(t.printed());
        }
    }

    const CliResult first = runDecode(args({recording}, homeOnDisk));
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const QByteArray page = readFile(h + "/status.html");
    const QByteArray status = readFile(h + "/Status/0.txt");
    ASSERT_TRUE(page.endsWith("</HTML>\r\n"));
    ASSERT_FALSE(status.isEmpty());
    std::map<QString, QByteArray> logs;
    for (const QString& name : QDir(h + "/Logbuch").entryList(QDir::Files)) {
        logs[name] = readFile(h + "/Logbuch/" + name);
    }
    ASSERT_EQ(logs.size(), 3u);

    // The next day, on a full disk: new logs, a new page, a new status.
    disk.fill();
    const CliResult full = runDecode({"--home", homeOnDisk, "--start", "2026-12-08 10:00:00", recording});
    EXPECT_EQ(full.exitCode, 5);
    EXPECT_EQ(full.lines(), printed);
    std::multiset<std::string> said;
    for (const std::string& line : linesOf(full.err)) {
        said.insert(line);
    }
    const std::string logDir = homeOnDisk + "/Logbuch/";
    const std::multiset<std::string> expected = {
        "tolvana-decode: cannot take the lock of the data folder " + homeOnDisk + ": " + homeOnDisk +
            "/tolvana.lock cannot be written (no space left on the disk); decoding without it",
        "tolvana-decode: cannot save " + homeOnDisk + "/Status/0.txt: no space left on the disk; the previous version is kept",
        "tolvana-decode: cannot append a line to " + logDir + "FMS-2026-12-8.txt: no space left on the disk",
        "tolvana-decode: cannot append a line to " + logDir + "zvei-2026-12-8.txt: no space left on the disk",
        "tolvana-decode: cannot append a line to " + logDir + "poc-2026-12-8.txt: no space left on the disk",
        "tolvana-decode: cannot save " + homeOnDisk + "/status.html: no space left on the disk; the previous version is kept"};
    EXPECT_EQ(said, expected) << full.err;
    EXPECT_EQ(readFile(h + "/status.html"), page);
    EXPECT_EQ(readFile(h + "/Status/0.txt"), status);
    for (const auto& [name, bytes] : logs) {
        EXPECT_EQ(readFile(h + "/Logbuch/" + name), bytes) << name.toStdString();
    }
    for (const QString& name : QDir(h + "/Logbuch").entryList(QDir::Files)) {
        const QByteArray bytes = readFile(h + "/Logbuch/" + name);
        EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n")) << name.toStdString();
    }
    EXPECT_EQ(QDir(h).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("status.html")),
              QStringList{QStringLiteral("status.html")});

    // Room again: the same day's logs take every line, whole.
    disk.release();
    const CliResult later = runDecode({"--home", homeOnDisk, "--start", "2026-12-08 11:00:00", recording});
    EXPECT_EQ(later.exitCode, 0) << later.err;
    EXPECT_EQ(later.err, "");
    int lines = 0;
    for (const QString& name : QDir(h + "/Logbuch").entryList({QStringLiteral("*-2026-12-8.txt")}, QDir::Files)) {
        const QByteArray bytes = readFile(h + "/Logbuch/" + name);
        EXPECT_TRUE(bytes.endsWith("\r\n")) << name.toStdString();
        lines += static_cast<int>(bytes.count("\r\n"));
    }
    EXPECT_EQ(lines, static_cast<int>(printed.size()));
    EXPECT_NE(readFile(h + "/status.html"), page);
}

// Floating-point recordings, as SDR programs and sound editors save them,
// decode exactly as the 16-bit recording they were made from.
TEST_F(DecodeRobustness, FloatingPointRecordingsDecodeLikeSixteenBitOnes) {
    const std::string dir = testDataDir() + "/demo";
    std::ifstream f(dir + "/demo.expected");
    const std::string expected(std::istreambuf_iterator<char>(f), {});
    SF_INFO in{};
    SNDFILE* demo = sf_open((dir + "/demo.flac").c_str(), SFM_READ, &in);
    ASSERT_NE(demo, nullptr);
    std::vector<double> samples(static_cast<std::size_t>(in.frames * in.channels));
    ASSERT_EQ(sf_readf_double(demo, samples.data(), in.frames), in.frames);
    sf_close(demo);

    for (const auto& [name, format] : std::vector<std::pair<std::string, int>>{
             {"demo-float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
             {"demo-float.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
             {"demo-double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE}}) {
        SCOPED_TRACE(name);
        const std::string path = m_dir + "/" + name;
        SF_INFO info{};
        info.samplerate = in.samplerate;
        info.channels = in.channels;
        info.format = format;
        SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
        ASSERT_EQ(sf_writef_double(out, samples.data(), in.frames), in.frames);
        sf_close(out);
        const CliResult r = runDecode(args({path}));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, expected);
    }
}

// The input breaks in the middle (an SDR pipeline dies): what came before is
// decoded and printed, then the error is named and the exit code is 2.
TEST_F(DecodeRobustness, AReadErrorInTheMiddleEndsWithItsMessageAfterWhatCameBefore) {
    StreamedDecode decode(args({"--raw", "--channels", "1", "-"}));
    FmsEncoder fms;
    std::vector<std::int16_t> audio = toPcm(fms.telegram(FmsFields{"62345678", 3, 0, 2, 0}));
    const std::vector<std::int16_t> quiet = seconds(8.0);
    audio.insert(audio.end(), quiet.begin(), quiet.end());
    ASSERT_TRUE(decode.feed(audio));
    ASSERT_TRUE(waitUntil([&] { return !decode.out().empty(); })) << decode.err();
    decode.breakInput();
    const CliResult r = decode.finish();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "L\t##FMS#62345678#3#20#+\n");
    EXPECT_EQ(r.err, "tolvana-decode: read error in -: Connection reset by peer\n");
    EXPECT_EQ(readFile(home() + "/Logbuch/FMS-2026-12-7.txt").count("\r\n"), 1);
}

// A pager text that imitates the end of its record and a whole record after
// it: every receiver (TCP, local message, standard output) gets one record
// with its fields in place; the log, the page and the JSON keep the text as
// it was received.
TEST_F(DecodeRobustness, APagerTextCannotForgeAnExportRecord) {
    const std::string forged = "Probe#+##POC#9999999#0#FAKE#+";
    const std::string carried = "Probe*+**POC*9999999*0*FAKE*+";
    const std::string recording = m_dir + "/falsch.wav";
    Signal signal = silence(0.5);
    signal.append(pagerSignal(1234567, 3, forged));
    signal.append(silence(1.0));
    writeRecording(recording, toPcm(signal), 1, kSampleRate);

    TcpReceiver tcp;
    ASSERT_TRUE(tcp.listen());
    const QString localName = QStringLiteral("tolvana-forge-%1").arg(QCoreApplication::applicationPid());
    QLocalServer::removeServer(localName);
    QLocalServer local;
    ASSERT_TRUE(local.listen(localName));
    QByteArray message;
    QObject::connect(&local, &QLocalServer::newConnection, &local, [&] {
        while (QLocalSocket* s = local.nextPendingConnection()) {
            QObject::connect(s, &QLocalSocket::readyRead, s, [&message, s] { message += s->readAll(); });
            message += s->readAll();
        }
    });
    ASSERT_TRUE(QDir().mkpath(home()));
    MonitorOptions options;
    options.htmlExport = true;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = tcp.port();
    options.messageExport = true;
    options.targetWindowTitle = localName;
    writeDataFolder(home(), options);

    DecodeProcess decode(args({"--json", recording}));
    const CliResult r = decode.finish([] { QCoreApplication::processEvents(); });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QByteArray line = QByteArray::fromStdString("##POC#1234567#3#" + carried + "#+");
    ASSERT_TRUE(waitUntil([&] { return tcp.received(0).size() >= line.size() && message.size() > line.size(); }));
    EXPECT_EQ(tcp.received(0), line);
    EXPECT_EQ(tcp.received(0).count("#+"), 1);
    EXPECT_EQ(tcp.received(0).split('#').size(), 7); // "", "", POC, RIC, function, text, "+"
    EXPECT_EQ(message, line + '\0');

    ASSERT_EQ(r.lines().size(), 1u);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.lines()[0])).object();
    EXPECT_EQ(json.value(QStringLiteral("text")).toString().toStdString(), forged);
    EXPECT_EQ(json.value(QStringLiteral("line")).toString(), QString::fromLatin1(line));
    EXPECT_TRUE(readFile(home() + "/Logbuch/poc-2026-12-7.txt").contains(QByteArray::fromStdString("\t" + forged + "\r\n")));
    EXPECT_TRUE(readFile(home() + "/status.html").contains(QByteArray::fromStdString("\r\n" + forged + "\r\n")));
}

// A TCP receiver that goes away during a run and comes back gets the lines
// of the receptions after its return; only those while it was away are lost.
TEST_F(DecodeRobustness, ATcpReceiverThatComesBackGetsTheLaterLines) {
    TcpReceiver receiver;
    ASSERT_TRUE(receiver.listen());
    const quint16 port = receiver.port();
    ASSERT_TRUE(QDir().mkpath(home()));
    MonitorOptions options;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = port;
    writeDataFolder(home(), options);
    StreamedDecode decode(args({"--raw", "--channels", "1", "-"}));

    // Feeds a call, then quiet audio in small pieces (the decoder's clock and
    // its once-a-second reconnect run on it) until `arrived` holds.
    const auto transmit = [&](const std::vector<std::int16_t>& audio, const auto& arrived) {
        if (!decode.feed(audio)) {
            return false;
        }
        return waitUntil([&] { return arrived() || !decode.feed(seconds(0.25)); }) && arrived();
    };
    const auto printed = [&](const std::string& number) {
        return [&decode, number] { return contains(decode.out(), "L\t##ZVEI#" + number + "##+\n"); };
    };

    ASSERT_TRUE(transmit(zveiCall("41234"), [&] { return receiver.received(0) == "##ZVEI#41234##+"; }))
        << decode.out() << decode.err() << receiver.connections();
    receiver.stop();
    ASSERT_TRUE(transmit(zveiCall("42345"), printed("42345"))) << decode.err();
    ASSERT_TRUE(receiver.listen(port));
    ASSERT_TRUE(transmit(seconds(0.25), [&] { return receiver.connections() == 2; })) << decode.err();
    ASSERT_TRUE(transmit(zveiCall("43456"), [&] { return receiver.received(1) == "##ZVEI#43456##+"; }))
        << decode.out() << decode.err();

    decode.endInput();
    const CliResult r = decode.finish();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.lines(), (std::vector<std::string>{"L\t##ZVEI#41234##+", "L\t##ZVEI#42345##+", "L\t##ZVEI#43456##+"}));
    EXPECT_EQ(receiver.received(0), "##ZVEI#41234##+");
    EXPECT_EQ(receiver.received(1), "##ZVEI#43456##+");
    EXPECT_EQ(receiver.connections(), 2u);
}

// The action program inherits nothing of tolvana's but its standard error:
// not the recording, no file of the data folder, no socket.
TEST_F(DecodeRobustness, AnActionProgramInheritsNoOpenFile) {
    const QString fds = QString::fromStdString(m_dir + "/fds.txt");
    const QString action = QString::fromStdString(m_dir + "/aktion.sh");
    writeFile(action, "#!/bin/sh\n"
                      "for f in /proc/$$/fd/*; do printf '%s %s\\n' \"${f##*/}\" \"$(readlink \"$f\")\"; done > '" +
                          fds.toUtf8() + ".tmp'\n"
                          "mv '" + fds.toUtf8() + ".tmp' '" + fds.toUtf8() + "'\n");
    QFile(action).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TcpReceiver receiver;
    ASSERT_TRUE(receiver.listen());
    ASSERT_TRUE(QDir().mkpath(home()));
    MonitorOptions options;
    options.actionProgram = action;
    options.tcpExport = true;
    options.tcpServer = QStringLiteral("127.0.0.1");
    options.tcpPort = receiver.port();
    writeDataFolder(home(), options);
    const std::string recording = m_dir + "/ruf.wav";
    std::vector<std::int16_t> audio = zveiCall("12345");
    const std::vector<std::int16_t> quiet = seconds(3.0);
    audio.insert(audio.end(), quiet.begin(), quiet.end());
    writeRecording(recording, audio, 1, kSampleRate);
    // A raw recording too: read by another path than the sound files.
    const std::string raw = m_dir + "/ruf.raw";
    {
        std::ofstream out(raw, std::ios::binary);
        out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size() * 2));
    }

    for (const std::vector<std::string>& input :
         {std::vector<std::string>{recording}, std::vector<std::string>{"--raw", "--channels", "1", raw}}) {
        SCOPED_TRACE(input.back());
        QFile::remove(fds);
        DecodeProcess decode(args(input));
        const CliResult r = decode.finish([] { QCoreApplication::processEvents(); });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(fds); })) << "the action program did not run";
        const QStringList open = QString::fromUtf8(readFile(fds)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& entry : open) {
            const QString number = entry.section(QLatin1Char(' '), 0, 0);
            const QString target = entry.section(QLatin1Char(' '), 1);
            if (number == QLatin1String("0") || number == QLatin1String("1") || number == QLatin1String("2") ||
                target == action) {
                continue; // the null device, inherited standard error, the script itself
            }
            EXPECT_NE(target, QString::fromStdString(input.back())) << "inherits the recording";
            EXPECT_FALSE(target.startsWith(home())) << "inherits " << target.toStdString();
            EXPECT_FALSE(target.startsWith(QLatin1String("socket:"))) << "inherits " << target.toStdString();
        }
    }
}

} // namespace
} // namespace tolvana::test
