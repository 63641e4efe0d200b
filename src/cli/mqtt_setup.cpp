#include "cli/mqtt_setup.h"

#include <cstdio>
#include <string>

#include "records/mqtt_settings.h"

namespace tolvana {

namespace {

void diagnose(const std::string& line) {
    std::fprintf(stderr, "tolvana-decode: %s\n", line.c_str());
}

} // namespace

MqttSetup startMqttExport(const DataFolder& folder, const QString& station) {
    MqttSetup setup;
    MqttSettings settings;
    const FileResult loaded = loadMqttSettings(folder, settings);
    for (const QString& warning : loaded.warnings()) {
        diagnose("MQTT: " + warning.toStdString());
    }
    if (!loaded.ok()) {
        diagnose("MQTT: " + loaded.error().toStdString());
        setup.failed = true;
        return setup;
    }
    if (!station.isEmpty()) {
        settings.station = station;
    }
    if (!settings.enabled) {
        return setup;
    }
    auto exporter = std::make_unique<MqttExport>(&diagnose);
    std::string error;
    if (!exporter->start(settings, &error)) {
        diagnose("MQTT: " + error);
        setup.failed = true;
        return setup;
    }
    if (!exporter->waitForConnected(kMqttConnectWaitMs)) {
        diagnose("MQTT: no connection to " + settings.host.toStdString() + ":" +
                 std::to_string(settings.port) + " after " +
                 std::to_string(kMqttConnectWaitMs / 1000) + " s; decoding anyway, keeping up to " +
                 std::to_string(settings.queueLimit) + " receptions until it answers");
    }
    setup.exporter = std::move(exporter);
    return setup;
}

void stopMqttExport(MqttSetup& setup) {
    if (setup.exporter) {
        setup.exporter->stop(kMqttFlushWaitMs);
        setup.exporter.reset();
    }
}

} // namespace tolvana
