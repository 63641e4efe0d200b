// The file boundary shared by every table, list and log: Windows-1252 bytes,
// lines ended by CR LF, fields separated by one TAB. Readers also accept
// LF-only lines and a last line without its end, since users edit these files
// on Linux too. Writers replace a file atomically (the new text is written
// beside it and renamed over it) so that a crash or a full disk never leaves
// a table half written; appends write each line with one write call.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "records/file_result.h"

namespace tolvana {

inline constexpr QChar kFieldSeparator = u'\t';

struct TextLines {
    FileResult result; ///< a failure when the file exists but cannot be read
    bool exists = false;
    QStringList lines; ///< without their line ends
};

/// Reads a whole text file. A missing file is no error (`exists` is false).
TextLines readTextLines(const QString& path);

/// The lines of a file's bytes as readTextLines() gives them: Windows-1252,
/// each line without its LF or CR LF, no line after a last line end.
QStringList textLinesOf(QByteArrayView bytes);

/// Replaces the file with `lines`, each ended by CR LF. On failure the old
/// file is left as it was.
FileResult writeTextLines(const QString& path, const QStringList& lines);

/// Appends one line (ended by CR LF), creating the file when missing. The
/// bytes go out in a single write; a write that fails part-way is cut back,
/// so the file never ends in half a line. If the file's last line has no line
/// end (edited by hand), one is added first so the new line stays a line.
FileResult appendTextLine(const QString& path, const QString& line);

/// Deletes the file if it exists.
FileResult removeFileIfPresent(const QString& path);

/// Field i is the text between the i-th and the (i+1)-th TAB.
QStringList splitFields(const QString& line);

/// The leading decimal number of a numeric field or line: blanks before it
/// are skipped, an optional sign is taken, then the digits up to the first
/// other character; an empty or non-numeric text gives 0. Saturates far
/// outside any field's range instead of overflowing.
qint64 leadingNumber(QStringView text);

/// The text without leading and trailing blanks. Blanks only: a TAB is a
/// field separator, not a blank.
QStringView trimBlanks(QStringView text);

/// True when the text holds a TAB, CR or LF, which would split a field or a
/// line of a file that has no quoting.
bool breaksFields(const QString& text);
/// True when the text holds a CR or LF, which would split a line.
bool breaksLines(const QString& text);

/// "„name“" for messages.
QString quotedName(const QString& text);
/// The file name as the user knows it, for messages.
QString displayPath(const QString& path);

} // namespace tolvana
