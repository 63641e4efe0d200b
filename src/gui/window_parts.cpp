#include "gui/window_parts.h"

#include <QVBoxLayout>

#include "gui/board/board_part.h"
#include "gui/main_window.h"
#include "gui/mqtt/mqtt_part.h"
#include "gui/monitor.h"
#include "gui/settings_pages.h"
#include "gui/settings_tab.h"
#include "gui/upload/upload_panel.h"
#include "gui/upload/web_upload.h"

namespace tolvana::gui {

namespace {

// The status page's upload: its buttons and list below the fields of
// "HTML-Export", which "hochladen" and "testen" use as typed, and the upload
// after every minute tick that wrote the page.
void installWebUpload(WindowParts& parts) {
    auto* upload = new WebUpload(parts.monitor.state(), &parts.window);
    auto* page = qobject_cast<HtmlExportPage*>(parts.settings.panel(SettingsPage::HtmlExport));
    upload->setFieldSource([page] {
        MonitorSettings typed;
        page->collect(typed);
        return uploadRequestFrom(typed);
    });
    upload->setMessageSink([&messages = parts.monitor.messages()](const QString& title, const QString& text) {
        messages.show(title, text);
    });
    parts.settings.extensionArea(SettingsPage::HtmlExport)->addWidget(upload->createPanel());
    QObject::connect(&parts.monitor, &Monitor::pageWritten, upload, &WebUpload::notePageWritten);
    QObject::connect(&parts.monitor, &Monitor::minuteTicked, upload, &WebUpload::minuteTicked);
}

} // namespace

void installWindowParts(MainWindow& window) {
    WindowParts parts{window.monitor(), window, *window.settingsTab(), window.boardLayout()};
    // Each part of the window built elsewhere installs itself here with one
    // call: the status board with its page selectors, the vehicle editor,
    // the call-name editor ("Meldeempfänger"), the BOS import buttons and
    // "Status für alle auf" (src/gui/board); the status page's upload with
    // its buttons and list (src/gui/upload); further export pages.
    installBoardPart(parts);
    installWebUpload(parts);
    installMqttPart(parts);
}

} // namespace tolvana::gui
