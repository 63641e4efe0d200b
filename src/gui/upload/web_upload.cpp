#include "gui/upload/web_upload.h"

#include <QDateTime>
#include <QWidget>

#include "export/nmcli_dial_up.h"
#include "export/status_page.h"
#include "export/upload_texts.h"
#include "gui/upload/upload_panel.h"
#include "handoff/monitor_state.h"
#include "handoff/status_page_input.h"

namespace tolvana::gui {

namespace {
std::unique_ptr<DialUpService> orNetworkManager(std::unique_ptr<DialUpService> given) {
    return given ? std::move(given) : std::make_unique<NmcliDialUp>();
}
} // namespace

WebUpload::WebUpload(MonitorState& state, QWidget* window, std::unique_ptr<DialUpService> dialUp,
                     FtpUploader::Transfer transfer)
    : QObject(window),
      m_state(state),
      m_dialUp(orNetworkManager(std::move(dialUp))),
      m_prompt(*m_dialUp, window, {}),
      m_upload(std::make_unique<StatusPageUpload>(m_log, m_dialUp.get(), nullptr, std::move(transfer))) {
    m_upload->setDialUpPrompt(&m_prompt);
}

// An open dialog and the upload go first: the upload hangs up what it
// dialled while the service is still there.
WebUpload::~WebUpload() {
    delete m_prompt.dialog();
    m_upload.reset();
}

void WebUpload::setMessageSink(WindowDialUpPrompt::MessageSink messages) {
    m_prompt.setMessageSink(std::move(messages));
}

UploadPanel* WebUpload::createPanel(QWidget* parent) { return new UploadPanel(*this, parent); }

UploadRequest WebUpload::fields() const {
    return m_fields ? m_fields() : uploadRequestFrom(m_state.settings);
}

QString WebUpload::pagePath() const {
    return m_state.folder.root() + u'/' + QString::fromLatin1(kStatusPageFileName);
}

void WebUpload::writePage() {
    QString error;
    if (writeStatusPage(statusPageInput(m_state, QDateTime::currentDateTime()), m_state.folder.root(), &error)) {
        m_log.add(QString::fromUtf8(upload_text::kPageWritten));
    } else {
        m_log.add(error);
    }
}

void WebUpload::uploadNow() { m_upload->uploadStatusPage(fields(), pagePath()); }

void WebUpload::testNow() { m_upload->testConnection(fields()); }

void WebUpload::minuteTicked() {
    const bool written = m_pageWritten;
    m_pageWritten = false;
    m_upload->minuteDuty(m_state.settings, m_state.folder.root(), written);
}

} // namespace tolvana::gui
