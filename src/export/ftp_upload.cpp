#include "export/ftp_upload.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "export/upload_texts.h"
#include "records/settings.h"

namespace tolvana {

namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

bool libcurlHasSftp() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    for (const char* const* p = info->protocols; p != nullptr && *p != nullptr; ++p) {
        if (std::strcmp(*p, "sftp") == 0) {
            return true;
        }
    }
    return false;
}

bool validHostName(const QString& host) {
    if (host.isEmpty()) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_';
    });
}

bool validIpv6(const QString& host) {
    return !host.isEmpty() && std::all_of(host.begin(), host.end(), [](QChar c) {
        return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f') || c == u':' || c == u'.';
    });
}

std::optional<FtpEndpoint> failHost(QString* reason, const char* why) {
    if (reason != nullptr) {
        *reason = text(why);
    }
    return std::nullopt;
}

// libcurl's global state is set up once for the process, before the first
// transfer, from whichever thread gets there first.
void ensureCurlGlobal() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct ReadState {
    const QByteArray* content = nullptr;
    qsizetype offset = 0;
};

size_t readContent(char* buffer, size_t size, size_t count, void* user) {
    auto* state = static_cast<ReadState*>(user);
    const qsizetype left = state->content->size() - state->offset;
    const auto n = static_cast<qsizetype>(std::min(static_cast<size_t>(left), size * count));
    std::memcpy(buffer, state->content->constData() + state->offset, static_cast<size_t>(n));
    state->offset += n;
    return static_cast<size_t>(n);
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

int checkAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

// A new host key of an sftp server is trusted on first use and added to
// the known hosts, as ssh does for a new server; a key that differs from
// the known one is refused (someone may be in between).
int checkHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void*) {
    switch (match) {
    case CURLKHMATCH_OK:
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISSING:
        return CURLKHSTAT_FINE_ADD_TO_FILE;
    default:
        return CURLKHSTAT_REJECT;
    }
}

const char* reasonFor(CURLcode code) {
    using namespace upload_text;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return kReasonResolve;
    case CURLE_COULDNT_CONNECT:
        return kReasonConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return kReasonTimeout;
    case CURLE_LOGIN_DENIED:
        return kReasonLogin;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return kReasonFolder;
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
        return kReasonRefused;
    case CURLE_PARTIAL_FILE:
        return kReasonIncomplete;
    case CURLE_REMOTE_DISK_FULL:
        return kReasonDiskFull;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return kReasonTls;
    case CURLE_PEER_FAILED_VERIFICATION:
        return kReasonCertificate;
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_PORT_FAILED:
        return kReasonDataConnection;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        return kReasonConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_COULDNT_SET_TYPE:
        return kReasonServerReply;
    case CURLE_ABORTED_BY_CALLBACK:
        return kReasonAborted;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kReasonProtocol;
    default:
        return kReasonOther;
    }
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

FtpResult failure(const FtpJob& job, const char* reason, const QString& detail) {
    const char* lead = job.action == FtpAction::Test ? upload_text::kTestFailed : upload_text::kNotTransferred;
    QString message = text(lead) + text(reason);
    if (!detail.isEmpty()) {
        // Only the library's and the server's words can hold the password;
        // the German text is ours (and may contain a word used as password).
        message += QStringLiteral(" (") + withoutCredentials(detail, job.password) + u')';
    }
    return {false, message};
}

} // namespace

FtpTarget ftpTargetFrom(const MonitorSettings& settings) {
    return FtpTarget{settings.ftpHost, settings.ftpLogin, settings.ftpPassword, settings.ftpDirectory};
}

std::optional<FtpEndpoint> parseFtpHost(const QString& field, QString* reason) {
    using namespace upload_text;
    QString rest = field.trimmed();
    FtpEndpoint endpoint;
    // Checked before anything is echoed: "user:secret@host" must not reach a log.
    if (rest.contains(u'@')) {
        return failHost(reason, kHostCredentials);
    }
    const qsizetype schemeEnd = rest.indexOf(QStringLiteral("://"));
    if (schemeEnd >= 0) {
        endpoint.scheme = rest.left(schemeEnd).toLower();
        rest = rest.mid(schemeEnd + 3);
        if (endpoint.scheme != u"ftp" && endpoint.scheme != u"ftps" && endpoint.scheme != u"sftp") {
            return failHost(reason, kHostScheme);
        }
        if (endpoint.scheme == u"sftp" && !libcurlHasSftp()) {
            return failHost(reason, kHostNoSftp);
        }
    }
    if (rest.endsWith(u'/')) {
        rest.chop(1);
    }
    if (rest.contains(u'/') || rest.contains(u'\\')) {
        return failHost(reason, kHostPath);
    }
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0) {
            return failHost(reason, kHostName);
        }
        endpoint.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':')) {
                return failHost(reason, kHostName);
            }
            portText = after.mid(1);
            if (portText.isEmpty()) {
                return failHost(reason, kHostPort);
            }
        }
        if (!validIpv6(endpoint.host)) {
            return failHost(reason, kHostName);
        }
    } else if (rest.count(u':') > 1) {
        // A bare IPv6 address: no port can follow it.
        endpoint.host = rest;
        if (!validIpv6(endpoint.host)) {
            return failHost(reason, kHostName);
        }
    } else {
        const qsizetype colon = rest.indexOf(u':');
        endpoint.host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0) {
            portText = rest.mid(colon + 1);
            if (portText.isEmpty()) {
                return failHost(reason, kHostPort);
            }
        }
        if (!validHostName(endpoint.host)) {
            return failHost(reason, kHostName);
        }
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535 || !std::all_of(portText.begin(), portText.end(),
                                                            [](QChar c) { return c.isDigit(); })) {
            return failHost(reason, kHostPort);
        }
        endpoint.port = port;
    }
    return endpoint;
}

QString ftpUrl(const FtpJob& job) {
    const FtpEndpoint& e = job.endpoint;
    QString url = e.scheme + QStringLiteral("://");
    url += e.host.contains(u':') ? u'[' + e.host + u']' : e.host;
    if (e.port != 0) {
        url += u':' + QString::number(e.port);
    }
    url += u'/';
    // Users coming from Windows write folders with backslashes.
    QString folder = job.directory.trimmed();
    folder.replace(u'\\', u'/');
    const bool absolute = folder.startsWith(u'/');
    if (e.scheme == u"sftp") {
        // sftp paths start at the root; a relative folder lies in the home folder.
        if (!absolute) {
            url += QStringLiteral("~/");
        }
    } else if (absolute) {
        // ftp paths start in the login folder; an encoded slash reaches the root.
        url += QStringLiteral("%2F");
    }
    for (const QString& segment : folder.split(u'/', Qt::SkipEmptyParts)) {
        url += QString::fromLatin1(QUrl::toPercentEncoding(segment)) + u'/';
    }
    if (job.action == FtpAction::Upload) {
        url += QString::fromLatin1(QUrl::toPercentEncoding(job.fileName));
    }
    return url;
}

QString withoutCredentials(QString message, const QString& password) {
    if (!password.isEmpty()) {
        message.replace(password, QStringLiteral("***"));
    }
    static const QRegularExpression userInfo(QStringLiteral("://[^/\\s@]*@"));
    message.replace(userInfo, QStringLiteral("://"));
    return message;
}

namespace {

struct Attempt {
    CURLcode code = CURLE_OK;
    QString detail;        ///< the library's words when it failed
    curl_off_t sent = 0;   ///< bytes the server took (uploads)
};

/// One run of libcurl; `tls` asks a plain FTP server for TLS.
Attempt perform(const FtpJob& job, const std::atomic<bool>& abort, bool tls) {
    ensureCurlGlobal();
    CurlHandle handle(curl_easy_init(), &curl_easy_cleanup);
    if (!handle) {
        return {CURLE_FAILED_INIT, QStringLiteral("libcurl"), 0};
    }
    CURL* curl = handle.get();
    const QByteArray url = ftpUrl(job).toUtf8();
    const QByteArray login = job.login.toUtf8();
    const QByteArray password = job.password.toUtf8();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    ReadState read{&job.content, 0};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp,ftps,sftp");
    curl_easy_setopt(curl, CURLOPT_USERNAME, login.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(job.timeouts.connect));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(job.timeouts.response));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(job.timeouts.stall));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(job.timeouts.total));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkAbort);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &abort);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    if (job.endpoint.scheme == u"ftp" && tls) {
        // Encrypted where the server offers it; a server without TLS still
        // gets the page, as every FTP upload before did.
        curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    }
    if (job.endpoint.scheme == u"sftp") {
        static const QByteArray knownHosts = qgetenv("HOME") + "/.ssh/known_hosts";
        curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
        curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, checkHostKey);
    }
    if (job.action == FtpAction::Upload) {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, readContent);
        curl_easy_setopt(curl, CURLOPT_READDATA, &read);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(job.content.size()));
        curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_RETRY));
    } else {
        // Login and the change into the folder, then nothing is transferred.
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    }

    Attempt attempt;
    attempt.code = curl_easy_perform(curl);
    if (attempt.code != CURLE_OK) {
        attempt.detail = QString::fromUtf8(errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(attempt.code));
    }
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &attempt.sent);
    return attempt;
}

} // namespace

FtpResult runFtpTransfer(const FtpJob& job, const std::atomic<bool>& abort) {
    Attempt attempt = perform(job, abort, true);
    QString note;
    if (attempt.code == CURLE_PEER_FAILED_VERIFICATION && job.endpoint.scheme == u"ftp") {
        // The server offers TLS with a certificate that does not prove who
        // it is (often the hoster's, made out for another name). Such a
        // server has always had the page in clear, so it still gets it that
        // way rather than not at all, and the list says so. "ftps://" never
        // falls back.
        attempt = perform(job, abort, false);
        note = QString::fromUtf8(upload_text::kPlainNote);
    }
    if (attempt.code != CURLE_OK) {
        if (job.action == FtpAction::Test && !job.directory.trimmed().isEmpty() &&
            (attempt.code == CURLE_REMOTE_ACCESS_DENIED || attempt.code == CURLE_REMOTE_FILE_NOT_FOUND)) {
            // Logged in, but the folder is not there (yet).
            return {true, QString::fromUtf8(upload_text::kTestNoFolder) + note};
        }
        return failure(job, reasonFor(attempt.code), attempt.detail);
    }
    if (job.action == FtpAction::Test) {
        return {true, QString::fromUtf8(upload_text::kTestOk) + note};
    }
    if (attempt.sent != static_cast<curl_off_t>(job.content.size())) {
        return failure(job, upload_text::kReasonIncomplete,
                       QStringLiteral("%1 of %2 bytes").arg(attempt.sent).arg(job.content.size()));
    }
    return {true, QString::fromUtf8(upload_text::kTransferred) + note};
}

// ---------------------------------------------------------------------------

struct FtpUploader::Run {
    std::thread thread;
    std::atomic<bool> abort{false};
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    FtpAction action = FtpAction::Upload;
    FtpResult result;
};

FtpUploader::FtpUploader(QObject* parent, Transfer transfer)
    : QObject(parent), m_transfer(std::move(transfer)) {}

FtpUploader::~FtpUploader() {
    if (m_run) {
        m_run->abort = true;
        m_run->thread.join();
    }
}

bool FtpUploader::start(FtpJob job) {
    if (m_run) {
        return false;
    }
    m_run = std::make_unique<Run>();
    Run* run = m_run.get();
    run->action = job.action;
    run->thread = std::thread([this, run, job = std::move(job), transfer = m_transfer] {
        FtpResult result = transfer(job, run->abort);
        {
            const std::lock_guard lock(run->mutex);
            run->result = std::move(result);
            run->finished = true;
        }
        run->done.notify_all();
        // The destructor joins this thread before the object goes, and a
        // queued call to an object that is gone is dropped by Qt.
        QMetaObject::invokeMethod(this, [this] { deliver(); }, Qt::QueuedConnection);
    });
    return true;
}

bool FtpUploader::waitForFinished(int ms) {
    if (!m_run) {
        return true;
    }
    {
        std::unique_lock lock(m_run->mutex);
        Run* run = m_run.get();
        if (!run->done.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                                [run] { return run->finished; })) {
            return false;
        }
    }
    deliver();
    return true;
}

void FtpUploader::abort() {
    if (m_run) {
        m_run->abort = true;
    }
}

void FtpUploader::deliver() {
    if (!m_run) {
        return;
    }
    {
        const std::lock_guard lock(m_run->mutex);
        if (!m_run->finished) {
            return; // the queued call of an earlier run
        }
    }
    m_run->thread.join();
    const std::unique_ptr<Run> run = std::move(m_run);
    emit finished(run->action, run->result.ok, run->result.message);
}

} // namespace tolvana
