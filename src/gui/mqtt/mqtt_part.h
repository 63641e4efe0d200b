// The MQTT export in the window: the settings tab's page "MQTT" (after the
// standard pages), the export itself fed by the hand-off, started at
// start-up from mqtt.ini and started again with the new settings after every
// "speichern", stopped when the window closes. The connection's diagnostics
// appear at the foot of the page.
#pragma once

namespace tolvana::gui {

struct WindowParts;

void installMqttPart(WindowParts& parts);

} // namespace tolvana::gui
