#include "export/tcp_export.h"

#include <QDeadlineTimer>

#include "records/text_codec.h"

namespace tolvana {

ExportConnectionState exportConnectionState(QAbstractSocket::SocketState state) {
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        return ExportConnectionState::Closed;
    case QAbstractSocket::HostLookupState:
        return ExportConnectionState::ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return ExportConnectionState::Connecting;
    case QAbstractSocket::ConnectedState:
        return ExportConnectionState::Connected;
    case QAbstractSocket::BoundState:
        return ExportConnectionState::Open;
    case QAbstractSocket::ListeningState:
        return ExportConnectionState::Listening;
    case QAbstractSocket::ClosingState:
        return ExportConnectionState::Closing;
    }
    return ExportConnectionState::Error;
}

std::uint32_t connectionIndicatorColour(int state) {
    constexpr std::uint32_t red = 0x0000FF;
    constexpr std::uint32_t yellow = 0x00FFFF;
    constexpr std::uint32_t black = 0x000000;
    constexpr std::uint32_t white = 0xFFFFFF;
    constexpr std::uint32_t green = 0x00FF00;
    switch (state) {
    case 1:
        return yellow;
    case 3:
    case 6:
        return black;
    case 4:
        return white;
    case 7:
        return green;
    default:
        // 0 and 8 (reconnected by the tick), and listening, resolved, error.
        return red;
    }
}

TcpExport::TcpExport(QObject* parent) : QObject(parent), m_socket(this), m_timer(this) {
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TcpExport::supervise);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &TcpExport::onSocketError);
    // The export only writes. Bytes from the receiver (an echo, a greeting, a
    // flood) would pile up unread in the socket for the program's lifetime.
    connect(&m_socket, &QIODevice::readyRead, this, [this] { m_socket.skip(m_socket.bytesAvailable()); });
}

TcpExport::~TcpExport() {
    m_timer.stop();
    m_socket.abort();
}

QString TcpExport::setTarget(const QString& tcpServer, quint16 tcpPort) {
    m_server = tcpServer.isEmpty() ? QStringLiteral("localhost") : tcpServer;
    m_port = tcpPort;
    return m_server;
}

QString TcpExport::start(const QString& tcpServer, quint16 tcpPort) {
    const QString used = setTarget(tcpServer, tcpPort);
    connectExport();
    startSupervision();
    return used;
}

void TcpExport::stop() {
    stopSupervision();
    close();
}

void TcpExport::connectExport() {
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.abort();
    }
    m_socket.connectToHost(m_server, m_port);
}

void TcpExport::startSupervision(int intervalMs) {
    m_timer.start(intervalMs);
}

void TcpExport::stopSupervision() {
    m_timer.stop();
}

void TcpExport::supervise() {
    const int current = state();
    emit stateChecked(current, connectionIndicatorColour(current));
    if (current == static_cast<int>(ExportConnectionState::Closed) ||
        current == static_cast<int>(ExportConnectionState::Closing)) {
        connectExport();
    }
}

int TcpExport::state() const {
    return static_cast<int>(exportConnectionState(m_socket.state()));
}

void TcpExport::send(const std::string& line) {
    if (m_socket.state() != QAbstractSocket::ConnectedState ||
        m_socket.bytesToWrite() > kExportMaxPendingBytes) {
        return;
    }
    m_socket.write(toWindows1252(QString::fromStdString(line)));
    // Hand the bytes to the system now rather than at the next event-loop
    // turn, so a line leaves while its reception is fresh even when decoding
    // keeps the loop busy (or, headless, there is no loop).
    m_socket.flush();
}

bool TcpExport::waitForConnected(int timeoutMs) {
    if (m_socket.state() == QAbstractSocket::UnconnectedState) {
        m_problem.clear();
        connectExport();
    }
    if (m_socket.waitForConnected(timeoutMs)) {
        return true;
    }
    if (m_problem.isEmpty()) {
        m_problem = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000.0);
    }
    return false;
}

bool TcpExport::flush(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_socket.bytesToWrite() > 0 && m_socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !m_socket.waitForBytesWritten(static_cast<int>(left))) {
            break;
        }
    }
    return m_socket.bytesToWrite() == 0;
}

void TcpExport::close() {
    m_socket.abort();
}

void TcpExport::onSocketError(QAbstractSocket::SocketError error) {
    // A timed-out wait is not a failure of the connection; the headless
    // program may simply wait again.
    if (error == QAbstractSocket::SocketTimeoutError || error == QAbstractSocket::TemporaryError) {
        return;
    }
    // Any other error ends the connection: closed now (state 0), reopened by
    // the next supervision tick.
    m_problem = m_socket.errorString();
    m_socket.abort();
}

} // namespace tolvana
