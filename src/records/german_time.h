// The date and time texts of grids, logs, alert lists and the board, in the
// fixed German forms whatever the system's locale: the files and export lines
// were always written with German settings, and readers rely on that.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tolvana {

/// "07.12.2004 15:52:42": time cell of every reception row and log line.
QString gridDateTime(const QDateTime& time);
/// "15:52:42": the leading time of an alert list entry.
QString longTime(const QDateTime& time);
/// "07.12. 15:52": when a vehicle's status last changed (its `Zeit`).
QString changeTime(const QDateTime& time);
/// Reads a gridDateTime() text back as local time; invalid when it is none.
QDateTime parseGridDateTime(const QString& text);

} // namespace tolvana
