// Fills the status page's input from the monitor's tables and lists.
#pragma once

#include <QDateTime>

#include "export/status_page.h"
#include "handoff/monitor_state.h"

namespace tolvana {

/// Board page 0 (entries 0 .. columns x rows - 1), the status colours and the
/// newest rows of the ZVEI and POCSAG lists.
StatusPageInput statusPageInput(const MonitorState& state, const QDateTime& now);

} // namespace tolvana
