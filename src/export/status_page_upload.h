// The upload of the status page, for "hochladen", "testen" and the minute
// timer, in the window and in the headless program alike:
//
//   settings checked ── refused: the reason in the upload list
//        │
//   connectionKind 0 ───────────────────────────────┐
//   connectionKind 1: internet reachable already ───┤ (that connection is used
//        │                                          │  and left as it is)
//        └─ not reachable: the dial-up prompt ──────┤ connected: transfer,
//           (window only)        not connected:     │ then hang up what was
//                                message, no upload │ dialled
//                                                   ▼
//                                  transfer on a worker thread ──► result in the list
//
// One upload at a time: a request while one runs (or while the user is
// dialling) is skipped with a note in the list, and the next minute tick
// uploads the page then. A transfer that failed on a permanent connection
// is tried again on the next tick, even when no reception changed the page,
// so the server does not keep an old page for hours of quiet.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "export/ftp_upload.h"

namespace tolvana {

class DialUpService;
class UploadLog;
struct MonitorSettings;

/// The window's side of dialling: the dial-up dialog and its message.
class DialUpPrompt {
public:
    virtual ~DialUpPrompt() = default;
    /// Lets the user dial one of the system's connections and returns at
    /// once; `done` is called once, when the dialog closes, with the
    /// connection it dialled (empty when none), which the upload hangs up
    /// after its transfer.
    virtual void askToDial(std::function<void(const QString& dialled)> done) = 0;
    /// Tells the user that no connection came about.
    virtual void showDialFailure() = 0;
};

/// What one upload or test uses: the fields of the settings page.
struct UploadRequest {
    FtpTarget target;
    int connectionKind = 0; ///< 0 permanent, 1 dial-up
};

UploadRequest uploadRequestFrom(const MonitorSettings& settings);

class StatusPageUpload : public QObject {
    Q_OBJECT

public:
    /// `log` receives every result; `dialUp` may be null (no dial-up service:
    /// connectionKind 1 then never finds a connection).
    StatusPageUpload(UploadLog& log, DialUpService* dialUp, QObject* parent = nullptr,
                     FtpUploader::Transfer transfer = runFtpTransfer);
    /// Aborts a running transfer and hangs up a connection it dialled.
    ~StatusPageUpload() override;

    /// The dialog for connectionKind 1 (the window); none in the headless program.
    void setDialUpPrompt(DialUpPrompt* prompt) { m_prompt = prompt; }
    void setTimeouts(const FtpTimeouts& timeouts) { m_timeouts = timeouts; }

    /// Uploads the file `pagePath` under its own name.
    void uploadStatusPage(const UploadRequest& request, const QString& pagePath);
    /// Logs in and changes into the folder without uploading ("testen").
    void testConnection(const UploadRequest& request);

    /// The minute timer's duty after the page was (or was not) written:
    /// with the HTML export on and a host set, uploads "status.html" of
    /// `dataDir` when the page was written or the last upload is still owed.
    void minuteDuty(const MonitorSettings& settings, const QString& dataDir, bool pageWritten);

    /// True while dialling or transferring.
    bool busy() const { return m_dialling || m_uploader.busy(); }
    /// True when the last upload did not reach the server and should be repeated.
    bool uploadOwed() const { return m_owed; }
    /// Waits up to `ms` for a running transfer and reports it (the headless
    /// program at its end). True when nothing runs any more.
    bool waitForFinished(int ms);

signals:
    void busyChanged(bool busy);
    /// After every attempt that was not skipped; `ok` as the list says.
    void finished(bool ok);

private:
    void begin(FtpAction action, const UploadRequest& request, const QString& pagePath);
    void transfer(FtpJob job, const QString& pagePath, bool permanent, const QString& dialled);
    void conclude(FtpAction action, bool ok);
    void onTransferFinished(FtpAction action, bool ok, const QString& message);

    UploadLog& m_log;
    QPointer<DialUpService> m_dialUp;
    DialUpPrompt* m_prompt = nullptr;
    FtpUploader m_uploader;
    FtpTimeouts m_timeouts;
    bool m_dialling = false;
    bool m_owed = false;
    bool m_skipNoted = false;
    bool m_permanent = false;  ///< the running transfer goes over a permanent connection
    QString m_dialled;         ///< connection to hang up after the running transfer
};

} // namespace tolvana
