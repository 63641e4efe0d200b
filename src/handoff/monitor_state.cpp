#include "handoff/monitor_state.h"

#include "records/daily_log.h"

namespace tolvana {

MonitorState::MonitorState(DataFolder dataFolder)
    : folder(dataFolder), filters(std::move(dataFolder)) {}

void MonitorState::sizeVehicleTable() { vehicles.resize(boardSize().tableSize()); }

FileResult MonitorState::load(const QDateTime& now) {
    FileResult result;
    result.merge(loadSettings(folder, settings));
    sizeVehicleTable();
    result.merge(vehicles.loadVehicles(folder));
    result.merge(vehicles.loadVehicleStatus(folder));
    result.merge(callNames.loadCallNames(folder));
    result.merge(callAssignments.loadCallAssignments(folder));
    result.merge(stationNames.loadStationNames(folder));
    result.merge(reloadTodaysLogs(folder, now.date(), lists));
    result.merge(filters.rebuildFilters());
    return result;
}

} // namespace tolvana
