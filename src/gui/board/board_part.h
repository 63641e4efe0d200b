// The board's part of the main window: the status board in the tab
// "Fahrzeugansicht", the call-name editor on "Meldeempfänger (ZVEI/POCSAG)",
// "I-R-F-BOS-Datei laden" on "Fzge importieren" and "Status für alle auf" on
// "Status für alle setzen", wired to the window's signals. Built into the
// window's library; installWindowParts() calls it once.
#pragma once

namespace tolvana {
class VehicleBoard;
class CallNameEditor;
class VehicleImportPanel;
class StatusForAllPanel;
} // namespace tolvana

namespace tolvana::gui {

struct WindowParts;

struct BoardPart {
    VehicleBoard* board = nullptr;
    CallNameEditor* callNames = nullptr;
    VehicleImportPanel* vehicleImport = nullptr;
    StatusForAllPanel* statusForAll = nullptr;
};

/// Puts the board's widgets into the window. They live as long as the window.
BoardPart installBoardPart(WindowParts& parts);

} // namespace tolvana::gui
