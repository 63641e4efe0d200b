#include "gui/window_parts.h"

namespace tolvana::gui {

void installWindowParts(WindowParts&) {
    // Each part of the window built elsewhere installs itself here with one
    // call: the status board with its page selectors, the vehicle editor,
    // the call-name editor ("Meldeempfänger"), the BOS import buttons and
    // "Status für alle auf" (src/gui/board); the status page's upload with
    // its buttons and list (src/gui/upload); further export pages.
}

} // namespace tolvana::gui
