#include "export/status_page_upload.h"

#include <QFile>
#include <QFileInfo>

#include "export/dial_up.h"
#include "export/status_page.h"
#include "export/upload_log.h"
#include "export/upload_texts.h"
#include "records/settings.h"

namespace tolvana {

namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

} // namespace

UploadRequest uploadRequestFrom(const MonitorSettings& settings) {
    return UploadRequest{ftpTargetFrom(settings), settings.connectionKind};
}

StatusPageUpload::StatusPageUpload(UploadLog& log, DialUpService* dialUp, QObject* parent,
                                   FtpUploader::Transfer transfer)
    : QObject(parent), m_log(log), m_dialUp(dialUp), m_uploader(nullptr, std::move(transfer)) {
    connect(&m_uploader, &FtpUploader::finished, this, &StatusPageUpload::onTransferFinished);
}

StatusPageUpload::~StatusPageUpload() {
    // No result is reported any more; the uploader ends the transfer within
    // about a second when it goes.
    disconnect(&m_uploader, nullptr, this, nullptr);
    m_uploader.abort();
    if (!m_dialled.isEmpty() && m_dialUp) {
        m_dialUp->hangUp(m_dialled);
    }
}

void StatusPageUpload::uploadStatusPage(const UploadRequest& request, const QString& pagePath) {
    begin(FtpAction::Upload, request, pagePath);
}

void StatusPageUpload::testConnection(const UploadRequest& request) {
    begin(FtpAction::Test, request, QString());
}

void StatusPageUpload::minuteDuty(const MonitorSettings& settings, const QString& dataDir, bool pageWritten) {
    // Without a host the page is meant for this computer only (a local web
    // server, a shared folder): nothing to upload, and nothing to complain
    // about every minute. "hochladen" still says that the host is missing.
    if (settings.htmlExport != 1 || settings.ftpHost.trimmed().isEmpty() || (!pageWritten && !m_owed)) {
        return;
    }
    uploadStatusPage(uploadRequestFrom(settings), dataDir + u'/' + QString::fromLatin1(kStatusPageFileName));
}

bool StatusPageUpload::waitForFinished(int ms) {
    return m_uploader.waitForFinished(ms) && !m_dialling;
}

void StatusPageUpload::begin(FtpAction action, const UploadRequest& request, const QString& pagePath) {
    using namespace upload_text;
    const bool upload = action == FtpAction::Upload;
    if (busy()) {
        // Two transfers of one file must never interleave. Noted once per
        // running transfer: a recording decoded fast ticks many minutes
        // while a slow server answers once.
        if (!m_skipNoted) {
            m_log.add(text(kSkipped));
            m_skipNoted = true;
        }
        m_owed = m_owed || upload;
        return;
    }
    // The refusals come first, in this order (an empty login is reported
    // even when the page is missing), and before anything is dialled.
    const FtpTarget& target = request.target;
    if (target.host.trimmed().isEmpty()) {
        m_log.add(text(upload ? kNoHost : kTestNoHost));
        return conclude(action, false);
    }
    if (target.login.isEmpty()) {
        m_log.add(text(upload ? kNoLogin : kTestNoLogin));
        return conclude(action, false);
    }
    if (upload && !QFileInfo(pagePath).isFile()) {
        m_log.add(text(kNoFile));
        return conclude(action, false);
    }
    QString why;
    const std::optional<FtpEndpoint> endpoint = parseFtpHost(target.host, &why);
    if (!endpoint) {
        m_log.add(text(upload ? kBadHost : kTestBadHost) + why);
        return conclude(action, false);
    }

    FtpJob job;
    job.action = action;
    job.endpoint = *endpoint;
    job.login = target.login;
    job.password = target.password;
    job.directory = target.directory;
    job.timeouts = m_timeouts;

    if (request.connectionKind != 1) {
        return transfer(std::move(job), pagePath, true, QString());
    }
    // A connection that is up already is used as it is, and left up: it is
    // not this program's to hang up.
    if (m_dialUp && m_dialUp->isConnected()) {
        return transfer(std::move(job), pagePath, false, QString());
    }
    if (m_prompt == nullptr || !m_dialUp) {
        m_log.add(text(kNoDialUpHeadless));
        return conclude(action, false);
    }
    m_dialling = true;
    emit busyChanged(true);
    const QPointer<StatusPageUpload> self(this);
    m_prompt->askToDial([self, job = std::move(job), pagePath](const QString& dialled) mutable {
        if (!self) {
            return;
        }
        if (self->m_dialUp && self->m_dialUp->isConnected()) {
            self->m_dialling = false;
            self->transfer(std::move(job), pagePath, false, dialled);
            return;
        }
        if (!dialled.isEmpty() && self->m_dialUp) {
            self->m_dialUp->hangUp(dialled);
        }
        self->m_log.add(text(kDialUpFailedLog));
        if (self->m_prompt != nullptr) {
            self->m_prompt->showDialFailure();
        }
        self->conclude(job.action, false);
    });
}

void StatusPageUpload::transfer(FtpJob job, const QString& pagePath, bool permanent, const QString& dialled) {
    if (job.action == FtpAction::Upload) {
        // Read now, not when the upload was asked for: after dialling, the
        // newest page goes out.
        QFile file(pagePath);
        if (!file.open(QIODevice::ReadOnly)) {
            m_log.add(text(upload_text::kNoFile));
            if (!dialled.isEmpty() && m_dialUp) {
                m_dialUp->hangUp(dialled);
            }
            return conclude(FtpAction::Upload, false);
        }
        job.content = file.readAll();
        job.fileName = QFileInfo(pagePath).fileName();
    }
    m_permanent = permanent;
    m_dialled = dialled;
    m_skipNoted = false;
    m_uploader.start(std::move(job));
    emit busyChanged(true);
}

void StatusPageUpload::onTransferFinished(FtpAction action, bool ok, const QString& message) {
    m_log.add(message);
    if (action == FtpAction::Upload) {
        m_owed = !ok && m_permanent;
    }
    if (!m_dialled.isEmpty() && m_dialUp) {
        m_dialUp->hangUp(m_dialled);
    }
    m_dialled.clear();
    m_skipNoted = false;
    emit busyChanged(false);
    emit finished(ok);
}

void StatusPageUpload::conclude(FtpAction action, bool ok) {
    // A refusal or a failed dial is not repeated every minute: it needs the
    // user (settings, the dialog), and a new page asks again anyway.
    if (action == FtpAction::Upload) {
        m_owed = false;
    }
    const bool wasBusy = m_dialling;
    m_dialling = false;
    if (wasBusy) {
        emit busyChanged(false);
    }
    emit finished(ok);
}

} // namespace tolvana
