// How the parts of the window that are built apart (the status board and its
// editors, the upload of the status page, further export pages) slot into
// the main window. MainWindow calls installWindowParts() once, after its own
// widgets stand and before start-up runs, so a part sees every start-up
// signal. What a part gets:
//
//   monitor.state()           options, tables, lists (MonitorState)
//   monitor.view()            GuiView signals: vehicleStatusChanged(index),
//                             boardRedrawRequested(), boardRebuildRequested(),
//                             stationNamesChanged(), shuttingDown()
//   monitor.messages()        message boxes that do not block the decoders
//   monitor                   minuteTicked(), pageWritten() (upload after it)
//   boardTab                  the layout of the "Fahrzeugansicht" tab
//   settings.extensionArea(SettingsPage::...)
//                             room below a settings page's own controls
//   settings.addPage(panel)   a further settings page at the end of the list
//   settings                  saved(before, after) after every "speichern"
#pragma once

class QVBoxLayout;

namespace tolvana::gui {

class MainWindow;
class Monitor;
class SettingsTab;

struct WindowParts {
    Monitor& monitor;
    MainWindow& window;
    SettingsTab& settings;
    QVBoxLayout* boardTab;
};

void installWindowParts(WindowParts& parts);

} // namespace tolvana::gui
