// Servers for the upload tests, each on a free port of 127.0.0.1 and gone
// with the test: a real FTP server (pyftpdlib, run by Debian's python3) with
// its own folder and account, and a server that accepts connections and
// never says a word.
#pragma once

#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>

namespace tolvana::test {

class FtpServer {
public:
    static constexpr char kLogin[] = "tester";
    static constexpr char kPassword[] = "geheim-7Qx";

    enum class Security {
        Plain,         ///< FTP only
        SelfSignedTls, ///< offers TLS (not required) with a certificate nobody trusts
    };

    /// Empty when the server can run here; otherwise why not (for a skip).
    static QString unavailableReason(Security security = Security::Plain);

    /// Starts the server; check started() before use.
    explicit FtpServer(Security security = Security::Plain);
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    /// "127.0.0.1:<port>", as a user types it into the host field.
    QString host() const;
    /// The folder the server shows as its root (the login folder).
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_keys; ///< the TLS key and certificate, outside the served folder
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

/// Accepts TCP connections (the system completes them from its backlog)
/// and never answers: an FTP client waits for a greeting that never comes.
class SilentServer {
public:
    SilentServer();
    bool listening() const { return m_server.isListening(); }
    QString host() const;

private:
    QTcpServer m_server;
};

/// A port of 127.0.0.1 on which nothing listens (connections are refused).
quint16 closedPort();

} // namespace tolvana::test
