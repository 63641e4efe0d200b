#include "gui/board/board_actions.h"

#include "gui/board/board_texts.h"
#include "records/german_time.h"

namespace tolvana {

int statusOfEmptiedEntry(MoveKind kind) {
    return kind == MoveKind::BetweenFields ? 5 : 6;
}

FileResult moveVehicle(MonitorState& state, int from, int to, MoveKind kind, const QDateTime& now) {
    VehicleTable& table = state.vehicles;
    const Vehicle oldFrom = table.at(from);
    const Vehicle oldTo = table.at(to);
    const int oldLastUsed = table.lastUsedIndex();

    const QString zeit = kind == MoveKind::BetweenFields ? gridDateTime(now) : changeTime(now);
    table.moveEntry(from, to, statusOfEmptiedEntry(kind), zeit);

    FileResult result = table.saveVehicles(state.folder);
    if (!result.ok()) {
        table.entry(from) = oldFrom;
        table.entry(to) = oldTo;
        table.setLastUsedIndex(oldLastUsed);
        return result;
    }
    result.merge(table.saveVehicleStatus(state.folder, from, table.at(from).Zeit));
    result.merge(table.saveVehicleStatus(state.folder, to, table.at(to).Zeit));
    return result;
}

FileResult renamePage(MonitorState& state, int page, const QString& name) {
    const QString old = state.stationNames.name(page);
    state.stationNames.setName(page, name);
    FileResult result = state.stationNames.saveStationNames(state.folder);
    if (!result.ok()) {
        state.stationNames.setName(page, old);
    }
    return result;
}

FileResult setStatusForAll(MonitorState& state, int status, const QDateTime& now,
                           const Progress& progress) {
    VehicleTable& table = state.vehicles;
    const QString time = changeTime(now);
    int total = 0;
    for (int i = 0; i < table.size(); ++i) {
        Vehicle& v = table.entry(i);
        v.Status = status;
        total += v.Rufname.isEmpty() ? 0 : 1;
    }
    // Often enough for a progress bar, seldom enough to cost nothing.
    constexpr int kProgressStep = 25;
    FileResult first;
    int moreFailures = 0;
    int done = 0;
    for (int i = 0; i < table.size(); ++i) {
        if (table.at(i).Rufname.isEmpty()) {
            continue;
        }
        const FileResult r = table.saveVehicleStatus(state.folder, i, time);
        if (!r.ok()) {
            if (first.ok()) {
                first = r;
            } else {
                ++moreFailures;
            }
        }
        if (progress && ++done % kProgressStep == 0) {
            progress(done, total);
        }
    }
    if (progress) {
        progress(total, total);
    }
    if (moreFailures > 0) {
        return FileResult::failure(first.error() + u' ' +
                                   board_texts::kMoreStatusFilesFailed.arg(moreFailures));
    }
    return first;
}

} // namespace tolvana
