// The MQTT export's settings: a file of their own beside Mon.ini (which keeps
// its 30 lines as they are), and the broker password in a second file that
// only its owner may read.
//
//   mqtt.ini        UTF-8, one "key=value" a line, "#" starts a comment
//                   enabled=1
//                   host=broker.example.org
//                   port=8883
//                   tls=1
//                   cafile=            (empty: the system's certificates)
//                   certfile=          (client certificate, optional)
//                   keyfile=           (its key, with certfile)
//                   username=tolvana
//                   prefix=tolvana     (first topic level(s))
//                   station=Nord       (empty: the machine's host name)
//                   queue=1000         (receptions kept while the broker is away)
//   mqtt.password   the password alone (one line), mode 0600
//
// Unknown keys and unreadable numbers are reported as warnings with their
// line and otherwise ignored, so a file written by a newer version still
// loads.
#pragma once

#include <QString>

#include "records/data_folder.h"
#include "records/file_result.h"

namespace tolvana {

inline constexpr int kMqttDefaultPort = 1883;
inline constexpr int kMqttDefaultTlsPort = 8883;
inline constexpr int kMqttDefaultQueue = 1000;
inline constexpr int kMqttMaxQueue = 100000;

struct MqttSettings {
    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = kMqttDefaultPort;
    bool tls = false;
    QString caFile;
    QString certFile;
    QString keyFile;
    QString username;
    QString password;
    QString prefix = QStringLiteral("tolvana");
    QString station;
    int queueLimit = kMqttDefaultQueue;

    bool operator==(const MqttSettings&) const = default;
};

/// "<root>/mqtt.ini" and "<root>/mqtt.password".
QString mqttSettingsFile(const DataFolder& folder);
QString mqttPasswordFile(const DataFolder& folder);

/// Fills `settings` from the two files; without them every field keeps its
/// default (export off). A password file that others may read is used, with
/// a warning to tighten it.
FileResult loadMqttSettings(const DataFolder& folder, MqttSettings& settings);

/// Writes both files, each replaced only once it is complete; the password
/// file is created readable by its owner only (an empty password removes
/// it). Refused, leaving the files as they were, when
/// mqttSettingsProblem() finds something.
FileResult saveMqttSettings(const DataFolder& folder, const MqttSettings& settings);

/// Why the settings cannot be used or stored (a German sentence), or an empty
/// text. Checks the port, the queue bound, texts that would break a line, and
/// prefix and station as topic levels: no "+", "#", no empty level; the
/// station is one level (no "/").
QString mqttSettingsProblem(const MqttSettings& settings);

/// The station as it appears in the topics: the setting, else the machine's
/// host name (characters a topic level cannot hold become "_").
QString effectiveStation(const MqttSettings& settings);

} // namespace tolvana
