// Everything the monitor keeps for its whole life besides the decoders: the
// options, the data folder, the tables, the filters, the reception lists and
// the alert lists. The GUI and the headless program each own one and load it
// at start-up in the same order.
#pragma once

#include <QDateTime>

#include "records/alert_lists.h"
#include "records/call_tables.h"
#include "records/data_folder.h"
#include "records/file_result.h"
#include "records/filters.h"
#include "records/reception_lists.h"
#include "records/settings.h"
#include "records/station_names.h"
#include "records/vehicle_table.h"

namespace tolvana {

class MonitorState {
public:
    explicit MonitorState(DataFolder folder);

    /// Start-up loads, in the order the program has always used: options,
    /// vehicle table (sized for the board), status files, call names, call
    /// assignments, page names, today's logs, filters. Every step runs even
    /// when an earlier one failed; problems are collected in the result.
    FileResult load(const QDateTime& now);

    /// Sizes the vehicle table for the board size of the options (empty).
    void sizeVehicleTable();
    BoardSize boardSize() const { return boardSizeFor(settings.boardSizeIndex); }

    DataFolder folder;
    MonitorSettings settings;
    VehicleTable vehicles;
    StationNames stationNames;
    CallNameTable callNames;
    CallAssignmentTable callAssignments;
    FilterTables filters;
    ReceptionLists lists;
    AlertLists alerts;
};

} // namespace tolvana
