#include "gui/window_parts.h"

#include "gui/board/board_part.h"

namespace tolvana::gui {

void installWindowParts(WindowParts& parts) {
    // Each part of the window built elsewhere installs itself here with one
    // call: the status board with its page selectors, the vehicle editor,
    // the call-name editor ("Meldeempfänger"), the BOS import buttons and
    // "Status für alle auf" (src/gui/board); the status page's upload with
    // its buttons and list (src/gui/upload); further export pages.
    installBoardPart(parts);
}

} // namespace tolvana::gui
