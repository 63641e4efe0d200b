// One transfer to the web server through libcurl: the status page put into
// the target folder, or (for "testen") a login and a change into the folder
// without uploading anything.
//
//   ftpHost            URL                                   security
//   www.example.org    ftp://www.example.org:21/...          TLS when the server offers it
//                                                            (in clear, and said so, when its
//                                                            certificate cannot be trusted)
//   host:2121          ftp://host:2121/...                   TLS when offered
//   ftps://host        ftps://host:990/...                   TLS from the first byte
//   sftp://host:22     sftp://host:22/~/...                  SSH, host key as known hosts has it
//
// Login and password never go into the URL (so no error text of libcurl can
// carry them) and no file holds them; every message that leaves this file is
// cleaned of the password. The transfer is bounded by timeouts for the
// connection, each server reply, a stalled transfer and the whole run, so a
// dead server costs a bounded wait on a worker thread and nothing else.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace tolvana {

struct MonitorSettings;

/// Server and account as the settings page holds them.
struct FtpTarget {
    QString host;      ///< "host", "host:port", "ftp://", "ftps://" or "sftp://" in front
    QString login;
    QString password;
    QString directory; ///< folder to change into; empty: the login folder
};

FtpTarget ftpTargetFrom(const MonitorSettings& settings);

/// A checked `ftpHost`.
struct FtpEndpoint {
    QString scheme = QStringLiteral("ftp"); ///< "ftp", "ftps" or "sftp"
    QString host;                           ///< name or address, IPv6 without brackets
    int port = 0;                           ///< 0: the scheme's own port
};

/// Reads `ftpHost`. On failure `reason` (if given) holds a German text that
/// never repeats credentials typed into the field.
std::optional<FtpEndpoint> parseFtpHost(const QString& text, QString* reason = nullptr);

/// Seconds; the defaults suit a page of some kilobytes on any line.
struct FtpTimeouts {
    int connect = 15;  ///< name look-up, TCP, TLS and the server's greeting
    int response = 20; ///< each reply of the server once connected
    int stall = 20;    ///< a transfer that moves no byte for this long
    int total = 60;    ///< the whole run
};

enum class FtpAction {
    Upload, ///< put `content` as `fileName` into the folder (created when missing)
    Test,   ///< log in and change into the folder; nothing is written
};

struct FtpJob {
    FtpAction action = FtpAction::Upload;
    FtpEndpoint endpoint;
    QString login;
    QString password;
    QString directory;
    QString fileName;   ///< remote name (uploads)
    QByteArray content; ///< the file (uploads)
    FtpTimeouts timeouts;
};

struct FtpResult {
    bool ok = false;
    QString message; ///< German, for the upload list, free of the password
};

/// The URL of a job (no credentials in it); for sftp the folder is taken
/// from the home folder unless it starts with "/".
QString ftpUrl(const FtpJob& job);

/// Runs one transfer on the calling thread until it ends, fails or times
/// out; `abort` set from another thread ends it within about a second.
FtpResult runFtpTransfer(const FtpJob& job, const std::atomic<bool>& abort);

/// `text` without the password (and without any user:password@ part of a
/// URL): for every message that may echo what the server or library saw.
QString withoutCredentials(QString text, const QString& password);

/// Runs transfers one at a time on a worker thread and reports each result
/// on the thread that owns it, so neither the window nor the decoding ever
/// waits for a server.
class FtpUploader : public QObject {
    Q_OBJECT

public:
    using Transfer = std::function<FtpResult(const FtpJob&, const std::atomic<bool>& abort)>;

    /// `transfer` replaces libcurl (tests).
    explicit FtpUploader(QObject* parent = nullptr, Transfer transfer = runFtpTransfer);
    /// Aborts a running transfer and waits for its thread; no result is reported.
    ~FtpUploader() override;

    bool busy() const { return m_run != nullptr; }
    /// Starts `job`; false (and nothing started) while another one runs.
    bool start(FtpJob job);
    /// Waits up to `ms` for the running transfer and reports it before
    /// returning true; false when it is still running. True when none runs.
    bool waitForFinished(int ms);
    /// Asks a running transfer to end; its result still follows.
    void abort();

signals:
    void finished(FtpAction action, bool ok, const QString& message);

private:
    struct Run;
    void deliver();

    Transfer m_transfer;
    std::unique_ptr<Run> m_run;
};

} // namespace tolvana
