// Daily reception logs in Logbuch/, one file per kind and day:
//
//   FMS-2004-12-7.txt   zvei-2004-12-7.txt   poc-2004-12-7.txt
//
// Each line is exactly the row text that was added to the reception list at
// the same time, ended by CR LF, oldest first. A log is only ever appended
// to; the file name is worked out from the reception time at each append, so
// the first reception after midnight begins the new day's file.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include "records/data_folder.h"
#include "records/file_result.h"
#include "records/reception_kind.h"
#include "records/reception_lists.h"

namespace tolvana {

/// Appends one line to the kind's log of the day of `now` (created when
/// missing), in a single write so a killed program never leaves half a line.
FileResult appendDailyLog(const DataFolder& folder, ReceptionKind kind, const QString& line,
                          const QDateTime& now);

inline FileResult appendFmsLog(const DataFolder& folder, const QString& line,
                               const QDateTime& now) {
    return appendDailyLog(folder, ReceptionKind::Fms, line, now);
}
inline FileResult appendZveiLog(const DataFolder& folder, const QString& line,
                                const QDateTime& now) {
    return appendDailyLog(folder, ReceptionKind::Zvei, line, now);
}
inline FileResult appendPocsagLog(const DataFolder& folder, const QString& line,
                                  const QDateTime& now) {
    return appendDailyLog(folder, ReceptionKind::Pocsag, line, now);
}

/// Fills the three lists from today's logs (FMS, ZVEI, POCSAG): every
/// non-empty line goes in at the top, so the last line of a file ends on top.
/// Reloaded rows have no colour and the FMS row limit is not applied. A
/// missing log leaves its list as it is.
FileResult reloadTodaysLogs(const DataFolder& folder, QDate today, ReceptionLists& lists);

} // namespace tolvana
