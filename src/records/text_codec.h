// The Windows program's files and export lines are Windows-1252 bytes. Inside
// tolvana text is Unicode; these two functions are the only crossing point.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tolvana {

/// Unicode to Windows-1252. A character that has no Windows-1252 byte (a
/// Cyrillic letter, an emoji) becomes '?', so a line never gains the control
/// byte 0x1A that a plain conversion would leave in its place.
QByteArray toWindows1252(const QString& text);

/// Windows-1252 to Unicode. Every byte has a meaning (the five unassigned ones
/// map to the C1 control characters), so nothing is lost.
QString fromWindows1252(QByteArrayView bytes);

} // namespace tolvana
