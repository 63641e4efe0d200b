#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QVBoxLayout>

#include "gui/capture_controller.h"
#include "gui/captions.h"
#include "gui/filter_page.h"
#include "gui/grid_arrangement.h"
#include "gui/lists_tab.h"
#include "gui/monitor.h"
#include "gui/monitor_bar.h"
#include "gui/settings_pages.h"
#include "records/daily_log.h"

namespace tolvana::gui {

namespace {

// Collects the outcome of one step: its failure and the lines it skipped.
void note(QStringList& problems, const FileResult& result) {
    if (!result.ok()) {
        problems.append(result.error());
    }
    problems.append(result.warnings());
}

} // namespace

MainWindow::MainWindow(Monitor& monitor, QWidget* parent) : QWidget(parent), m_monitor(monitor) {
    setWindowTitle(text::kWindowTitle);
    setObjectName(QStringLiteral("Form1"));
    monitor.messages().setParentWidget(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_bar = new MonitorBar(monitor.state().alerts, this);
    layout->addWidget(m_bar);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_lists = new ListsTab(monitor.state().lists, m_tabs);
    m_boardTab = new QWidget(m_tabs);
    m_boardLayout = new QVBoxLayout(m_boardTab);
    m_boardLayout->setContentsMargins(2, 2, 2, 2);
    m_settings = new SettingsTab(m_tabs);
    m_tabs->addTab(m_lists, text::kTabLists);
    m_tabs->addTab(m_boardTab, text::kTabBoard);
    m_tabs->addTab(m_settings, text::kTabSettings);
    layout->addWidget(m_tabs, 1);

    buildSettingsPages();
    m_capture = new CaptureController(monitor, *m_bar, *m_soundcard, this);
    connect(m_settings, &SettingsTab::saveRequested, this, &MainWindow::save);
    connect(&monitor.tcp(), &TcpExport::stateChecked, m_bar->connection(), &ConnectionIndicator::showState);

    // 1500 x 1000 pixels fit the grids' columns side by side and the
    // settings pages without scrolling; the window may be made smaller.
    resize(1280, 900);
}

MainWindow::~MainWindow() {
    shutDown();
}

void MainWindow::buildSettingsPages() {
    MonitorState& state = m_monitor.state();
    m_soundcard = new SoundcardPage;
    m_filters = new FilterPage(state.filters, m_monitor.messages());
    m_settings->addPage(m_soundcard);
    m_settings->addPage(new ExtensionPage(text::kPageNames[1], QString()));
    m_settings->addPage(new VehicleImportPage);
    m_settings->addPage(new ActionsPage);
    m_settings->addPage(new ExtensionPage(text::kPageNames[4], text::kStatusForAll));
    m_settings->addPage(new BoardSizePage);
    m_settings->addPage(new StatusColoursPage);
    m_settings->addPage(new HtmlExportPage);
    m_settings->addPage(new TcpExportPage);
    m_settings->addPage(new MessageExportPage);
    m_settings->addPage(m_filters);
    m_settings->addPage(new InfoPage(state.folder.root()));
    m_settings->selectPage(0);
}

QStringList MainWindow::startUp() {
    MonitorState& state = m_monitor.state();
    const DataFolder& folder = state.folder;
    QStringList problems;

    // The options, shown on the settings pages; a fresh data folder gives
    // the defaults (every switch off, the board 10 x 20).
    note(problems, loadSettings(folder, state.settings));
    m_settings->applySettingsToControls(state.settings);
    m_settings->markSaved();
    m_lists->arrange(arrangeGrids(state.settings));
    state.sizeVehicleTable();
    emit m_monitor.view().boardRebuildRequested();
    m_monitor.applyTcpExport();
    m_monitor.applyLocalMessageTarget();
    m_monitor.applyDecoderSwitches();
    m_capture->listInputDevices(state.settings.deviceIndex);

    // The tables, in the order they have always been read.
    note(problems, state.vehicles.loadVehicles(folder));
    note(problems, state.vehicles.loadVehicleStatus(folder));
    note(problems, state.callNames.loadCallNames(folder));
    note(problems, state.callAssignments.loadCallAssignments(folder));
    note(problems, state.stationNames.loadStationNames(folder));
    emit m_monitor.view().stationNamesChanged();
    emit m_monitor.view().boardRedrawRequested();
    m_tabs->setCurrentIndex(ListsTabIndex);

    note(problems, reloadTodaysLogs(folder, QDate::currentDate(), state.lists));
    note(problems, state.filters.rebuildFilters());
    m_filters->refreshLists();

    m_monitor.minuteTimer().start();
    return problems;
}

bool MainWindow::save() {
    MonitorState& state = m_monitor.state();
    // A running capture (or replay) stops and is not started again: the
    // options it runs on change now.
    if (m_capture->running()) {
        m_capture->stop();
    }
    const MonitorSettings before = state.settings;
    state.settings = m_settings->collectSettingsFromControls(before);
    m_lists->arrange(arrangeGrids(state.settings));
    const FileResult saved = saveSettings(state.folder, state.settings);

    QStringList problems;
    if (state.boardSize() != boardSizeFor(before.boardSizeIndex)) {
        state.sizeVehicleTable();
        emit m_monitor.view().boardRebuildRequested();
        note(problems, state.vehicles.loadVehicles(state.folder));
        note(problems, state.vehicles.loadVehicleStatus(state.folder));
    }
    emit m_monitor.view().boardRedrawRequested();
    m_monitor.applyTcpExport();
    m_monitor.applyLocalMessageTarget();
    m_monitor.applyDecoderSwitches();

    if (saved.ok()) {
        m_settings->markSaved();
    } else {
        m_settings->markUnsaved();
        m_monitor.messages().show(text::kTitleAttention, text::kSaveFailed + u'\n' + saved.error());
    }
    if (!problems.isEmpty()) {
        m_monitor.messages().show(text::kTitleAttention, problems.join(u'\n'));
    }
    m_settings->notifySaved(before, state.settings);
    return saved.ok();
}

void MainWindow::shutDown() {
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    // Nothing is saved on the way out: options only change by "speichern",
    // tables are written when they are edited.
    m_capture->stop();
    m_monitor.minuteTimer().stop();
    m_monitor.tcp().stopSupervision();
    emit m_monitor.view().shuttingDown();
    if (m_monitor.tcp().state() != static_cast<int>(ExportConnectionState::Closed)) {
        m_monitor.tcp().close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    shutDown();
    event->accept();
}

} // namespace tolvana::gui
