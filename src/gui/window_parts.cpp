#include "gui/window_parts.h"

#include "gui/main_window.h"

namespace tolvana::gui {

void installWindowParts(MainWindow& window) {
    WindowParts parts{window.monitor(), window, *window.settingsTab(), window.boardLayout()};
    // Each part of the window built elsewhere installs itself here with one
    // call on `parts`: the status board with its page selectors, the vehicle
    // editor, the call-name editor ("Meldeempfänger"), the BOS import buttons
    // and "Status für alle auf" (src/gui/board); the status page's upload
    // with its buttons and list (src/gui/upload); further export pages.
    static_cast<void>(parts);
}

} // namespace tolvana::gui
