// TCP export: a client connection to a program of the user's that listens on
// `tcpServer`:`tcpPort` and reads the export lines of every reception.
//
//   tolvana (client)                              receiver (server)
//   ----------------                              -----------------
//   connect  ------------------------------------>  listen on tcpPort
//   "##FMS#12345678#3#10#+"  --------------------->
//   "##ZVEI#12345#FF Musterstadt#+"  ------------->
//   "##POC#1234567#3#Probealarm#+"  -------------->
//
//   +------+------+-----+-----+---------+------+--------+    one write per line,
//   | "##" | kind | "#" | fld | ... "#" | fld  |  "#+"  |    Windows-1252 bytes,
//   +------+------+-----+-----+---------+------+--------+    no terminator
//
// The stream has no line terminator: a receiver splits it at the end mark
// "#+". Lines are sent only while the connection stands; a reception during
// a connecting or closed state is lost, there is no queue. A supervision
// tick once a second reconnects a closed connection, so a receiver that is
// started later (or restarted) is picked up within a second.
//
// A pause of about 240 ms after every send, processing window events
// meanwhile, would space the lines out on the wire. tolvana does not pause: the pause held up decoding for every reception, and
// receivers rely only on the line format with its end mark, never on gaps
// between lines (see docs/export.md).
#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <string>

#include "export/line_export.h"

namespace tolvana {

/// The connection states as the settings page and the connection indicator
/// show them (the state numbers the receivers' users know from the
/// indicator).
enum class ExportConnectionState : int {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9,
};

/// Qt's socket state as the state number above. An unconnected socket (also
/// after an error, which closes it) is 0, host lookup 4, connecting 6,
/// connected 7, closing 8; a bound socket counts as open (1).
ExportConnectionState exportConnectionState(QAbstractSocket::SocketState state);

/// Colour of the connection indicator for a state, 0x00BBGGRR like every
/// colour of the program: closed, closing and anything unexpected red, open
/// yellow, pending and connecting black, resolving white, connected green.
std::uint32_t connectionIndicatorColour(int state);

/// The indicator's colour before the first supervision tick: silver.
inline constexpr std::uint32_t kConnectionIndicatorUnknown = 0xC0C0C0;

/// The period of the supervision tick.
inline constexpr int kExportSupervisionMs = 1000;

/// Bytes that may wait in the connection for a receiver that does not read
/// (some ten thousand lines); further lines are dropped until it catches up.
inline constexpr qint64 kExportMaxPendingBytes = 1 << 20;

class TcpExport final : public QObject, public LineExport {
    Q_OBJECT

public:
    explicit TcpExport(QObject* parent = nullptr);
    ~TcpExport() override;

    TcpExport(const TcpExport&) = delete;
    TcpExport& operator=(const TcpExport&) = delete;

    /// Sets the receiver that the next connect goes to. An empty server means
    /// "localhost"; the server actually used is returned so the caller can
    /// store it back in the settings (`tcpServer` then reads "localhost").
    QString setTarget(const QString& tcpServer, quint16 tcpPort);
    QString server() const { return m_server; }
    quint16 port() const { return m_port; }

    /// Start-up with the export switched on: sets the target, starts
    /// connecting and starts the supervision tick. Returns the server used.
    QString start(const QString& tcpServer, quint16 tcpPort);
    /// Shutdown or export switched off: stops the tick and closes.
    void stop();

    /// Closes the connection if it is not closed and starts connecting to the
    /// target. Returns at once; the connection comes up in the event loop (or
    /// in waitForConnected).
    void connectExport();

    /// Starts the supervision tick (every `intervalMs`, normally once a
    /// second) that reports the state and reconnects a closed connection.
    void startSupervision(int intervalMs = kExportSupervisionMs);
    void stopSupervision();
    bool supervising() const { return m_timer.isActive(); }

    /// One supervision tick: reports the state (stateChecked) and, when the
    /// state is closed (0) or closing (8), connects anew.
    void supervise();

    /// The state number of the connection.
    int state() const;

    /// Sends the line as its Windows-1252 bytes, without terminator, if the
    /// connection stands (state 7); drops it silently otherwise, and also
    /// while more than kExportMaxPendingBytes wait for a receiver that has
    /// stopped reading. Whatever the receiver sends back is read and thrown
    /// away, so neither side can make the program's memory grow without end.
    void send(const std::string& line) override;

    /// For the headless program, which has no running event loop: connects
    /// if closed and waits at most `timeoutMs` for the connection. Returns
    /// whether it stands; if not, connectionProblem() says why.
    bool waitForConnected(int timeoutMs);

    /// Why the last connection attempt failed, in the system's words
    /// ("Connection refused", "Host not found"), or that the receiver did not
    /// answer in time; empty while no attempt has failed.
    QString connectionProblem() const { return m_problem; }

    /// Waits at most `timeoutMs` until every byte sent so far has been handed
    /// to the operating system. Returns whether nothing is left unsent (true
    /// as well when the connection is closed and nothing is pending).
    bool flush(int timeoutMs);

    /// Closes the connection at once (shutdown); the supervision keeps its
    /// state, so stop it first when the program ends.
    void close();

signals:
    /// Emitted on every supervision tick, before a reconnect: the state
    /// number and its indicator colour (0x00BBGGRR).
    void stateChecked(int state, quint32 colour);

private:
    void onSocketError(QAbstractSocket::SocketError error);

    QTcpSocket m_socket;
    QTimer m_timer;
    QString m_server = QStringLiteral("localhost");
    quint16 m_port = 0;
    QString m_problem;
};

} // namespace tolvana
