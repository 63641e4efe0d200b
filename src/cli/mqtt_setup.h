// The MQTT export of tolvana-decode: its settings come from mqtt.ini (and
// mqtt.password) in the data folder, the station name from --station if
// given. Diagnostics go to standard error, one line each.
#pragma once

#include <QString>

#include <memory>

#include "export/mqtt_export.h"
#include "records/data_folder.h"

namespace tolvana {

/// How long a recording waits for the broker before decoding starts, and how
/// long the end waits for the last receptions to be acknowledged.
inline constexpr int kMqttConnectWaitMs = 3000;
inline constexpr int kMqttFlushWaitMs = 10000;

struct MqttSetup {
    std::unique_ptr<MqttExport> exporter; ///< null: the export is off
    bool failed = false;                  ///< unusable settings (already reported)
};

/// Loads the settings and, when the export is on, starts it and waits up to
/// kMqttConnectWaitMs for the broker. `station` overrides the file's station
/// when not empty.
MqttSetup startMqttExport(const DataFolder& folder, const QString& station);

/// Delivers what is still queued (waiting at most kMqttFlushWaitMs) and
/// disconnects; reports receptions that could not be delivered.
void stopMqttExport(MqttSetup& setup);

} // namespace tolvana
