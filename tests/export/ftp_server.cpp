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

// pyftpdlib's command line has no TLS options: the TLS server is set up in
// a few lines of its API.
const char kTlsServer[] = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer
port, root, user, password, cert, key = sys.argv[1:7]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm='elradfmwMT')
TLS_FTPHandler.authorizer = authorizer
TLS_FTPHandler.certfile = cert
TLS_FTPHandler.keyfile = key
TLS_FTPHandler.tls_control_required = False
TLS_FTPHandler.tls_data_required = False
FTPServer(('127.0.0.1', int(port)), TLS_FTPHandler).serve_forever()
)";

bool runs(const QString& program, const QStringList& arguments) {
    QProcess probe;
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(program, arguments);
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

} // namespace

QString FtpServer::unavailableReason(Security security) {
    if (!runs(kPython, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")})) {
        return QStringLiteral("pyftpdlib for /usr/bin/python3 is missing (Debian package python3-pyftpdlib)");
    }
    if (security == Security::SelfSignedTls &&
        !runs(kPython, {QStringLiteral("-c"), QStringLiteral("import OpenSSL")})) {
        return QStringLiteral("pyOpenSSL for /usr/bin/python3 is missing (Debian package python3-openssl)");
    }
    return {};
}

FtpServer::FtpServer(Security security) {
    QStringList tls;
    if (security == Security::SelfSignedTls) {
        const QString cert = m_keys.filePath(QStringLiteral("cert.pem"));
        const QString key = m_keys.filePath(QStringLiteral("key.pem"));
        if (!runs(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                   QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-keyout"), key,
                   QStringLiteral("-out"), cert})) {
            return;
        }
        tls = {cert, key};
    }
    // The free port may be taken between the probe and the server's bind:
    // then the server ends at once and another port is tried.
    for (int attempt = 0; attempt < 5 && m_port == 0; ++attempt) {
        const quint16 port = freePort();
        m_process = std::make_unique<QProcess>();
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(QProcess::nullDevice());
        if (tls.isEmpty()) {
            m_process->start(kPython, {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                                       QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                                       QStringLiteral("-w"), QStringLiteral("-d"), m_dir.path(), QStringLiteral("-u"),
                                       QString::fromLatin1(kLogin), QStringLiteral("-P"),
                                       QString::fromLatin1(kPassword)});
        } else {
            m_process->start(kPython, QStringList{QStringLiteral("-c"), QString::fromLatin1(kTlsServer),
                                                  QString::number(port), m_dir.path(), QString::fromLatin1(kLogin),
                                                  QString::fromLatin1(kPassword)} +
                                          tls);
        }
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
