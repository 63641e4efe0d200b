#include "ftp_server.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QThread>

namespace tolvana::test {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool answers(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(200)) {
        return false;
    }
    // The greeting shows that the FTP server, not a stray listener, is there.
    return socket.waitForReadyRead(2000) && socket.readAll().startsWith("220");
}

} // namespace

QString FtpServer::unavailableReason() {
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        return QStringLiteral("pyftpdlib for /usr/bin/python3 is missing (Debian package python3-pyftpdlib)");
    }
    return {};
}

FtpServer::FtpServer() {
    // The free port may be taken between the probe and the server's bind:
    // then the server ends at once and another port is tried.
    for (int attempt = 0; attempt < 5 && m_port == 0; ++attempt) {
        const quint16 port = freePort();
        m_process = std::make_unique<QProcess>();
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(QProcess::nullDevice());
        m_process->start(kPython, {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                                   QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                                   QStringLiteral("-w"), QStringLiteral("-d"), m_dir.path(), QStringLiteral("-u"),
                                   QString::fromLatin1(kLogin), QStringLiteral("-P"), QString::fromLatin1(kPassword)});
        if (!m_process->waitForStarted(10000)) {
            return;
        }
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
            if (answers(port)) {
                m_port = port;
                break;
            }
            QThread::msleep(20);
        }
        if (m_port == 0) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
}

FtpServer::~FtpServer() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

QString FtpServer::host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

SilentServer::SilentServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    // Nothing is ever taken from the backlog, so no socket is ever served.
    m_server.pauseAccepting();
}

QString SilentServer::host() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

quint16 closedPort() { return freePort(); }

} // namespace tolvana::test
