// The local-message export against a real local server: one connection per
// line carrying the Windows-1252 bytes and a zero byte, the 255-byte buffer,
// and silence when nobody listens.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUuid>

#include <string>
#include <vector>

#include "event_wait.h"
#include "export/export_line.h"
#include "export/local_message_export.h"

namespace tolvana {
namespace {

using test::waitFor;

/// A literal with its own terminating zero byte: the message a receiver gets.
template <std::size_t N>
QByteArray withZero(const char (&text)[N]) {
    return QByteArray(text, static_cast<qsizetype>(N));
}

QString uniqueName() {
    return QStringLiteral("tolvana-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

/// A receiving program: keeps the bytes of each connection, in order, and
/// knows which connections have ended.
class LocalReceiver {
public:
    bool listen(const QString& name) {
        QLocalServer::removeServer(name);
        if (!m_server.listen(name)) {
            return false;
        }
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
            while (QLocalSocket* socket = m_server.nextPendingConnection()) {
                const std::size_t index = m_messages.size();
                m_messages.emplace_back();
                m_ended.push_back(false);
                QObject::connect(socket, &QLocalSocket::readyRead, socket,
                                 [this, socket, index] { m_messages[index] += socket->readAll(); });
                QObject::connect(socket, &QLocalSocket::disconnected, socket, [this, socket, index] {
                    m_messages[index] += socket->readAll();
                    m_ended[index] = true;
                });
                // The data may have arrived before the connection was taken.
                m_messages[index] += socket->readAll();
                if (socket->state() == QLocalSocket::UnconnectedState) {
                    m_ended[index] = true;
                }
            }
        });
        return true;
    }
    void stop() { m_server.close(); }

    std::size_t count() const { return m_messages.size(); }
    bool allEnded(std::size_t n) const {
        if (m_ended.size() < n) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (!m_ended[i]) {
                return false;
            }
        }
        return true;
    }
    const QByteArray& message(std::size_t i) const { return m_messages.at(i); }

private:
    QLocalServer m_server;
    std::vector<QByteArray> m_messages;
    std::vector<bool> m_ended;
};

/// Collects Qt warnings while alive, to prove that a failure stays silent.
class WarningTrap {
public:
    WarningTrap() {
        s_count = 0;
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type != QtDebugMsg && type != QtInfoMsg) {
                ++s_count;
            }
        });
    }
    ~WarningTrap() { qInstallMessageHandler(m_previous); }
    WarningTrap(const WarningTrap&) = delete;
    WarningTrap& operator=(const WarningTrap&) = delete;

    static int count() { return s_count; }

private:
    static inline int s_count = 0;
    QtMessageHandler m_previous = nullptr;
};

TEST(LocalMessageExport, EachLineArrivesAsItsBytesAndOneZeroByte) {
    const QString name = uniqueName();
    LocalReceiver receiver;
    ASSERT_TRUE(receiver.listen(name));

    LocalMessageExport exporter(name);
    exporter.send(zveiExportLine("12345", "L\u00F6schzug S\u00FCd"));
    exporter.send(pocsagExportLine(1234567, 0, ""));
    // A third line as the marker: a message too many would come before it.
    exporter.send(fmsExportLine(FmsTelegram{"62345678", 0, 3, 0}));
    ASSERT_TRUE(waitFor([&] { return receiver.count() >= 3 && receiver.allEnded(3); }));

    EXPECT_EQ(receiver.message(0), withZero("##ZVEI#12345#L\xF6schzug S\xFC" "d#+"));
    EXPECT_EQ(receiver.message(1), withZero("##POC#1234567#0##+"));
    EXPECT_EQ(receiver.message(2), withZero("##FMS#62345678#3#00#+"));
    EXPECT_EQ(receiver.count(), 3u);
}

TEST(LocalMessageExport, ALongLineIsCutToFitTheBuffer) {
    const QString name = uniqueName();
    LocalReceiver receiver;
    ASSERT_TRUE(receiver.listen(name));

    const std::string text(400, 'x');
    const std::string line = pocsagExportLine(1234567, 3, text);
    LocalMessageExport exporter(name);
    exporter.send(line);
    ASSERT_TRUE(waitFor([&] { return receiver.count() == 1 && receiver.allEnded(1); }));

    const QByteArray got = receiver.message(0);
    ASSERT_EQ(got.size(), kLocalMessageBufferBytes);
    EXPECT_EQ(got.left(254), QByteArray::fromStdString(line.substr(0, 254)));
    EXPECT_EQ(got.back(), '\0');
}

TEST(LocalMessageExport, MessageBytesNeverExceedTheBuffer) {
    // Line lengths around the limit; "##POC#1234567#3#" + text + "#+" is 18
    // bytes longer than its text.
    for (const std::size_t textLength : {0u, 235u, 236u, 237u, 238u, 1000u}) {
        const std::string line = pocsagExportLine(1234567, 3, std::string(textLength, 'a'));
        const QByteArray bytes = localMessageBytes(line);
        const std::size_t kept = std::min<std::size_t>(line.size(), 254);
        ASSERT_EQ(static_cast<std::size_t>(bytes.size()), kept + 1) << "line of " << line.size();
        EXPECT_EQ(bytes.left(static_cast<qsizetype>(kept)), QByteArray::fromStdString(line.substr(0, kept)));
        EXPECT_EQ(bytes.back(), '\0');
    }
    // Umlauts count one byte each, as the receiver's buffer sees them.
    std::string spacesAndUmlaut(300, ' ');
    spacesAndUmlaut += "\u00E4";
    const QByteArray umlauts = localMessageBytes(spacesAndUmlaut);
    EXPECT_EQ(umlauts.size(), 255);
}

TEST(LocalMessageExport, NobodyListeningMeansNothingSentAndNothingReported) {
    WarningTrap trap;
    LocalMessageExport exporter(uniqueName());
    exporter.send(fmsExportLine(FmsTelegram{"62345678", 0, 3, 0}));
    LocalMessageExport unnamed;
    unnamed.send(fmsExportLine(FmsTelegram{"62345678", 0, 3, 0}));
    EXPECT_EQ(WarningTrap::count(), 0);
}

TEST(LocalMessageExport, TheServerIsLookedUpForEveryLine) {
    WarningTrap trap;
    const QString name = uniqueName();
    LocalMessageExport exporter(name);
    const std::string first = zveiExportLine("11111", "");
    const std::string second = zveiExportLine("22222", "");
    const std::string third = zveiExportLine("33333", "");
    const std::string fourth = zveiExportLine("44444", "");

    exporter.send(first); // nobody there yet
    {
        LocalReceiver receiver;
        ASSERT_TRUE(receiver.listen(name));
        exporter.send(second);
        ASSERT_TRUE(waitFor([&] { return receiver.count() == 1 && receiver.allEnded(1); }));
        EXPECT_EQ(receiver.message(0), withZero("##ZVEI#22222##+"));
        receiver.stop();
        exporter.send(third); // gone again: lost, not kept for later
    }
    LocalReceiver restarted;
    ASSERT_TRUE(restarted.listen(name));
    exporter.send(fourth);
    ASSERT_TRUE(waitFor([&] { return restarted.count() >= 1 && restarted.allEnded(1); }));
    // The line sent while nobody listened would have come first.
    EXPECT_EQ(restarted.message(0), withZero("##ZVEI#44444##+"));
    EXPECT_EQ(restarted.count(), 1u);
    EXPECT_EQ(WarningTrap::count(), 0);
}

} // namespace
} // namespace tolvana
