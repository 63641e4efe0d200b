// What the board does to the tables and their files when the user moves a
// vehicle, renames a page or sets one status for all: the rules without the
// widgets. Each action saves what it changed; where the main file cannot be
// written the change is undone, so the screen never shows what is not kept.
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

#include "handoff/monitor_state.h"
#include "records/file_result.h"

namespace tolvana {

enum class MoveKind {
    BetweenFields, ///< dropped on a field of the same page
    ToOtherPage,   ///< dropped on the selector of another page
};

/// Status given to the entry a vehicle leaves: 5 after a move between fields,
/// 6 after a move to another page. The files have always kept it that way.
int statusOfEmptiedEntry(MoveKind kind);

/// Moves the vehicle of entry `from` to entry `to` (copied whole; `from`
/// emptied with statusOfEmptiedEntry(), Tki 0 and, as Zeit, the date and
/// time of `now` after a move between fields or its change time after a
/// move to another page), then writes Fzg.txt and the status files of both
/// entries. When Fzg.txt cannot be written the move is undone.
FileResult moveVehicle(MonitorState& state, int from, int to, MoveKind kind, const QDateTime& now);

/// Gives page `page` the name `name` and writes Wachen.txt; the old name
/// comes back when the file cannot be written.
FileResult renamePage(MonitorState& state, int page, const QString& name);

/// Told how many of `total` status files are written, now and then.
using Progress = std::function<void(int done, int total)>;

/// Sets `status` in every entry of the table, on every page, and writes the
/// status file of every entry with a Rufname, with the change time of `now`
/// as its time text (the entries keep their Zeit). All files are tried; the
/// result names the first that failed and how many more did. Each file is
/// synced to the disk before it replaces the old one, so a full table takes
/// seconds: `progress` hears how far it is.
FileResult setStatusForAll(MonitorState& state, int status, const QDateTime& now,
                           const Progress& progress = {});

} // namespace tolvana
