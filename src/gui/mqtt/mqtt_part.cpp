#include "gui/mqtt/mqtt_part.h"

#include <QMetaObject>
#include <QPointer>

#include <memory>
#include <string>

#include "export/mqtt_export.h"
#include "gui/captions.h"
#include "gui/gui_view.h"
#include "gui/monitor.h"
#include "gui/mqtt/mqtt_settings_page.h"
#include "gui/settings_panel.h"
#include "gui/settings_tab.h"
#include "gui/user_messages.h"
#include "gui/window_parts.h"

namespace tolvana::gui {

namespace {

// How long closing the window or "speichern" waits for the broker to take
// what is still queued: the window must not hang on a broker that is away.
constexpr int kStopWaitMs = 1000;

// The export with the page it reports to; lives as long as the window.
class MqttPart final : public QObject {
public:
    MqttPart(Monitor& monitor, MqttSettingsPage* page, QObject* parent)
        : QObject(parent), m_monitor(monitor), m_page(page),
          m_export([page = QPointer<MqttSettingsPage>(page)](const std::string& line) {
              // From the network thread: the page is told on its own thread.
              QMetaObject::invokeMethod(
                  page,
                  [page, text = QString::fromStdString(line)] {
                      if (page) {
                          page->showConnectionReport(text);
                      }
                  },
                  Qt::QueuedConnection);
          }) {
        m_monitor.handoff().setReceptionExport(&m_export);
    }
    ~MqttPart() override {
        m_monitor.handoff().setReceptionExport(nullptr);
        m_export.stop(0);
    }

    /// Runs the export as mqtt.ini says (stopping a running one first).
    void apply() {
        m_export.stop(kStopWaitMs);
        MqttSettings settings;
        const FileResult loaded = loadMqttSettings(m_monitor.folder(), settings);
        if (!loaded.ok() || !settings.enabled) {
            m_page->showConnectionReport(QString());
            return;
        }
        std::string error;
        if (!m_export.start(settings, &error)) {
            m_page->showConnectionReport(QString::fromStdString(error));
        }
    }

    void stop() { m_export.stop(kStopWaitMs); }

private:
    Monitor& m_monitor;
    MqttSettingsPage* m_page;
    MqttExport m_export;
};

} // namespace

void installMqttPart(WindowParts& parts) {
    auto* panel = new SettingsPanel(MqttSettingsPage::title());
    auto* page = new MqttSettingsPage(panel);
    panel->content()->addWidget(page);
    parts.settings.addPage(panel);
    QObject::connect(page, &MqttSettingsPage::changed, panel, &SettingsPanel::edited);

    Monitor& monitor = parts.monitor;
    auto* part = new MqttPart(monitor, page, &parts.settings);

    const FileResult loaded = page->load(monitor.folder());
    if (!loaded.ok() || !loaded.warnings().isEmpty()) {
        QStringList lines = loaded.warnings();
        if (!loaded.ok()) {
            lines.prepend(loaded.error());
        }
        monitor.messages().show(text::kTitleAttention, lines.join(u'\n'));
    }
    part->apply();

    // "speichern" stores the page beside Mon.ini and runs the export anew.
    QObject::connect(&parts.settings, &SettingsTab::saved, part,
                     [part, page, &monitor, &settings = parts.settings] {
                         const FileResult saved = page->save(monitor.folder());
                         if (!saved.ok()) {
                             settings.markUnsaved();
                             monitor.messages().show(text::kTitleAttention, saved.error());
                             return;
                         }
                         part->apply();
                     });
    QObject::connect(&monitor.view(), &GuiView::shuttingDown, part, [part] { part->stop(); });
}

} // namespace tolvana::gui
