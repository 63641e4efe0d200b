// tolvana-decode with the HTML export on and a web server to upload to: a
// real FTP server on 127.0.0.1, then the same run with nothing listening.
// The server must end up with the page the run wrote last, byte for byte,
// and the upload lines on standard error must say what really happened.
#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>

#include <filesystem>
#include <memory>

#include "cli/cli_runner.h"
#include "cli/monitor_scenario.h"
#include "export/ftp_server.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {
namespace {

const QString kFolder = QStringLiteral("leitstelle/web");

// Three five-tone calls, one in each of three minutes of the recording
// clock: the page is written and uploaded at 60 s and 120 s, and the last
// call's page at the end of the recording.
const char* const kCalls[] = {"12345", "23456", "34567"};
constexpr double kCallAt[] = {2.0, 65.0, 125.0};

std::vector<std::int16_t> threeMinutes() {
    Signal left;
    const ZveiEncoder encoder;
    for (std::size_t i = 0; i < 3; ++i) {
        left.samples.resize(static_cast<std::size_t>(kCallAt[i] * kSampleRate), 0.0);
        left.append(encoder.call(kCalls[i]));
    }
    left.append(silence(2.0));
    addNoise(left, 30.0, 5);
    return interleave(toPcm(left), toPcm(silence(left.seconds())));
}

class UploadEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const QString unavailable = FtpServer::unavailableReason();
        if (!unavailable.isEmpty()) {
            GTEST_SKIP() << unavailable.toStdString();
        }
        m_dir = QString::fromStdString(makeTempDir("tolvana-upload"));
        m_home = m_dir + "/home";
        ASSERT_TRUE(QDir().mkpath(m_home));
        m_recording = m_dir + "/Funkverkehr.wav";
        writeRecording(m_recording.toStdString(), threeMinutes(), 2, kSampleRate);
    }
    void TearDown() override {
        if (!m_dir.isEmpty()) {
            std::filesystem::remove_all(m_dir.toStdString());
        }
    }

    CliResult decode(const QString& host) {
        MonitorOptions options;
        options.htmlExport = true;
        options.ftpHost = host;
        options.ftpLogin = QString::fromLatin1(FtpServer::kLogin);
        options.ftpPassword = QString::fromLatin1(FtpServer::kPassword);
        options.ftpDirectory = kFolder;
        writeDataFolder(m_home, options);
        return runDecode({"--home", m_home.toStdString(), "--start", "2026-12-07 15:52:00",
                          m_recording.toStdString()});
    }

    /// The upload lines of standard error, without program name and time.
    static QStringList uploadLines(const CliResult& r) {
        QStringList out;
        const QString prefix = QStringLiteral("tolvana-decode: upload: ");
        for (const QString& line : QString::fromStdString(r.err).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(prefix)) {
                out << line.mid(prefix.size() + 9); // "hh:mm:ss "
            }
        }
        return out;
    }

    /// Every call decoded, however the upload went.
    static void checkReceptions(const CliResult& r) {
        std::vector<std::string> expected;
        for (const char* call : kCalls) {
            expected.push_back(std::string("L\t##ZVEI#") + call + "#");
        }
        const std::vector<std::string> lines = r.lines();
        ASSERT_EQ(lines.size(), expected.size()) << r.out;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].rfind(expected[i], 0), 0u) << lines[i];
        }
    }

    QString m_dir;
    QString m_home;
    QString m_recording;
};

TEST_F(UploadEndToEnd, TheServerGetsTheLastPage) {
    FtpServer server;
    ASSERT_TRUE(server.started());
    const CliResult r = decode(server.host());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    checkReceptions(r);

    const QByteArray local = readFile(m_home + "/status.html");
    ASSERT_TRUE(local.contains(kCalls[2]));
    EXPECT_EQ(readFile(server.root() + "/" + kFolder + "/status.html"), local);
    // One line per minute that wrote the page. The second upload may find
    // the first still running (the recording decodes far faster than a
    // minute) and be skipped; none may fail, and the last always runs.
    const QStringList lines = uploadLines(r);
    ASSERT_EQ(lines.size(), 3) << r.err;
    for (const QString& line : lines) {
        EXPECT_TRUE(line == QStringLiteral("Datei übertragen") || line.startsWith(QStringLiteral("Übertragung übersprungen")))
            << line.toStdString();
    }
    EXPECT_EQ(lines.last(), QStringLiteral("Datei übertragen"));
    EXPECT_EQ(r.err.find(FtpServer::kPassword), std::string::npos);
}

TEST_F(UploadEndToEnd, WithoutAServerDecodingGoesOnAndTheReasonIsPrinted) {
    const CliResult r = decode(QStringLiteral("127.0.0.1:%1").arg(closedPort()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    checkReceptions(r);
    EXPECT_TRUE(readFile(m_home + "/status.html").contains(kCalls[2]));

    const QStringList lines = uploadLines(r);
    ASSERT_EQ(lines.size(), 3) << r.err;
    for (const QString& line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("Datei nicht übertragen-> keine Verbindung zum Server")) ||
                    line.startsWith(QStringLiteral("Übertragung übersprungen")))
            << line.toStdString();
    }
    EXPECT_FALSE(lines.contains(QStringLiteral("Datei übertragen")));
}

} // namespace
} // namespace tolvana::test
