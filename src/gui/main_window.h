// The main window: the strip with "Start", "stop", meters, alert lists and
// the connection indicator above the three tabs "Listenansicht",
// "Fahrzeugansicht" and "Einstellungen". It puts the parts together and runs
// the three sequences that span them: start-up, "speichern" and shutdown.
#pragma once

#include <QStringList>
#include <QTabWidget>
#include <QWidget>

#include "gui/settings_tab.h"

class QVBoxLayout;

namespace tolvana::gui {

class CaptureController;
class FilterPage;
class ListsTab;
class Monitor;
class MonitorBar;
class SoundcardPage;

class MainWindow final : public QWidget {
    Q_OBJECT

public:
    enum Tab { ListsTabIndex = 0, BoardTabIndex = 1, SettingsTabIndex = 2 };

    explicit MainWindow(Monitor& monitor, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Start-up, in this order, every step running whatever an earlier one
    /// met: options, controls, grid arrangement, board size, TCP export,
    /// device list, tables, board, today's logs, filters. Returns every
    /// problem met (German, one entry each), which the caller shows once.
    QStringList startUp();
    /// What "speichern" does. Returns whether Mon.ini was written.
    bool save();

    Monitor& monitor() const { return m_monitor; }
    MonitorBar* bar() const { return m_bar; }
    QTabWidget* tabs() const { return m_tabs; }
    ListsTab* listsTab() const { return m_lists; }
    QWidget* boardTab() const { return m_boardTab; }
    /// The layout of the "Fahrzeugansicht" tab, where the board goes.
    QVBoxLayout* boardLayout() const { return m_boardLayout; }
    SettingsTab* settingsTab() const { return m_settings; }
    CaptureController& capture() const { return *m_capture; }

    /// A standard settings page as its own type.
    template <typename Page> Page* page(SettingsPage which) const {
        return qobject_cast<Page*>(m_settings->panel(which));
    }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildSettingsPages();
    void shutDown();

    Monitor& m_monitor;
    MonitorBar* m_bar = nullptr;
    QTabWidget* m_tabs = nullptr;
    ListsTab* m_lists = nullptr;
    QWidget* m_boardTab = nullptr;
    QVBoxLayout* m_boardLayout = nullptr;
    SettingsTab* m_settings = nullptr;
    SoundcardPage* m_soundcard = nullptr;
    FilterPage* m_filters = nullptr;
    CaptureController* m_capture = nullptr;
    bool m_shutDown = false;
};

} // namespace tolvana::gui
