// The status page's upload in the window: the upload list, the transfer,
// NetworkManager for dial-up with its dialog, and the buttons of the
// "HTML-Export" page. The window connects three things:
//
//   setFieldSource(...)       the page's fields as typed ("hochladen" and
//                             "testen" use them before "speichern")
//   setMessageSink(...)       the window's non-blocking message boxes
//   pageWritten(), minuteTicked()   from the minute timer: the upload
//                             follows each tick that wrote the page
//
// and puts createPanel() on the page.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "export/dial_up.h"
#include "export/ftp_upload.h"
#include "export/status_page_upload.h"
#include "export/upload_log.h"
#include "gui/upload/dial_up_dialog.h"

class QWidget;

namespace tolvana {
class MonitorState;
} // namespace tolvana

namespace tolvana::gui {

class UploadPanel;

class WebUpload final : public QObject {
    Q_OBJECT

public:
    using FieldSource = std::function<UploadRequest()>;

    /// `window` parents the dialogs and owns this object. `dialUp` replaces
    /// NetworkManager and `transfer` libcurl (tests).
    WebUpload(MonitorState& state, QWidget* window, std::unique_ptr<DialUpService> dialUp = {},
              FtpUploader::Transfer transfer = runFtpTransfer);
    ~WebUpload() override;

    void setFieldSource(FieldSource fields) { m_fields = std::move(fields); }
    void setMessageSink(WindowDialUpPrompt::MessageSink messages);

    /// The buttons and the list for the "HTML-Export" page.
    UploadPanel* createPanel(QWidget* parent = nullptr);

    UploadLog& log() { return m_log; }
    StatusPageUpload& upload() { return *m_upload; }
    DialUpService& dialUp() { return *m_dialUp; }
    WindowDialUpPrompt& prompt() { return m_prompt; }

    /// "Html-Seite erzeugen": writes the page now; the list says how it went.
    void writePage();
    /// "hochladen": uploads the page as it is on disk.
    void uploadNow();
    /// "testen": logs in and changes into the folder, uploading nothing.
    void testNow();

    /// The minute timer wrote the page in this tick.
    void notePageWritten() { m_pageWritten = true; }
    /// The minute timer's tick is over: the upload follows when it wrote the
    /// page (or an upload is owed).
    void minuteTicked();

private:
    UploadRequest fields() const;
    QString pagePath() const;

    MonitorState& m_state;
    UploadLog m_log;
    std::unique_ptr<DialUpService> m_dialUp;
    WindowDialUpPrompt m_prompt;
    std::unique_ptr<StatusPageUpload> m_upload;
    FieldSource m_fields;
    bool m_pageWritten = false;
};

} // namespace tolvana::gui
