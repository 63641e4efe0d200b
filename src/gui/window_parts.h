// How the parts of the window that are built apart (the status board and its
// editors, the upload of the status page, further export pages) slot into
// the main window. The program (and every test of the window) calls
// installWindowParts() once, after the window stands and before its
// start-up runs, so a part sees every start-up signal:
//
//   MainWindow window(monitor);
//   installWindowParts(window);
//   window.startUp();
//
// installWindowParts() lives in a library of its own (tolvana_gui_parts)
// that links the window and the parts, so a part may use everything of the
// window without a loop between the libraries. What a part gets:
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

/// Installs every part into the window.
void installWindowParts(MainWindow& window);

} // namespace tolvana::gui
