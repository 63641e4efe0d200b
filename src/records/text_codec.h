// tolvana's files and export lines are Windows-1252 bytes. Inside
// tolvana text is Unicode; these two functions are the only crossing point.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace tolvana {

/// Unicode to Windows-1252. A character that has no Windows-1252 byte (a
/// Cyrillic letter, an emoji) becomes '?', so a line never gains the control
/// byte 0x1A that a plain conversion would leave in its place.
QByteArray toWindows1252(const QString& text);

/// Windows-1252 to Unicode. Every byte has a meaning (the five unassigned ones
/// map to the C1 control characters), so nothing is lost.
QString fromWindows1252(QByteArrayView bytes);

/// The first character of `text` that Windows-1252 cannot hold (and that
/// toWindows1252() would therefore turn into '?'), or nothing when every
/// character survives. Lets a writer refuse a value instead of altering it.
std::optional<char32_t> firstCharacterOutsideWindows1252(const QString& text);

} // namespace tolvana
