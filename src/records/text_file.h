// The file boundary shared by every table, list, log and the status page:
// Windows-1252 bytes, lines ended by CR LF, fields separated by one TAB.
// Readers also accept LF-only lines and a last line without its end, since
// users edit these files on Linux too, and a file saved as UTF-8 or UTF-16
// with its byte-order mark (as editors on Windows offer it; a character that
// Windows-1252 has no byte for is read as "?", with a warning). Only regular
// files are read, and none larger than kMaxTextFileBytes: a pipe or a device
// in a file's place (a named pipe as Mon.ini, /dev/zero as Fzg.txt) would
// hang start-up or exhaust memory.
//
// Writers replace a file atomically: the new content is written beside it,
// flushed to the disk, and only then renamed over it, so that a crash or a
// full disk never leaves a file half written. Appends write each line with
// one write call under a lock of the file, and a write that fails part-way is
// cut back, so a log holds whole lines only, whoever else appends to it.
// Failures carry the German message for the window and the English one for
// standard error, both saying what happened (a full disk, a missing right).
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

/// Files larger than this are not read (no table or daily log comes near it).
inline constexpr qint64 kMaxTextFileBytes = 64 * 1024 * 1024;

/// Reads a whole text file. A missing file is no error (`exists` is false);
/// a folder, a pipe or a device in its place, or a file larger than
/// kMaxTextFileBytes, is a failure that names the file.
TextLines readTextLines(const QString& path);

/// The lines of a file's bytes as readTextLines() gives them: Windows-1252,
/// each line without its LF or CR LF, no line after a last line end.
QStringList textLinesOf(QByteArrayView bytes);
/// The lines of a text: each without its LF or CR LF, none after a last line end.
QStringList splitTextLines(QString text);

/// The text of a whole file's bytes: Windows-1252, unless the bytes begin
/// with the byte-order mark of UTF-8 or UTF-16 (little or big endian).
QString decodeTextFile(QByteArrayView bytes);

/// Replaces the file with `bytes`: written beside it, flushed to the disk and
/// renamed over it. On failure the old file is left as it was and no
/// temporary file stays behind. The result names the file; `subject` is how
/// the German message names it ("Die Datei" when empty).
FileResult writeFileAtomically(const QString& path, QByteArrayView bytes, const QString& subject = {});

/// Replaces the file with `lines`, each ended by CR LF (writeFileAtomically).
/// Refused when the first bytes would read as a byte-order mark ("ï»¿", "ÿþ",
/// "þÿ" at the start of the first line), since the file would then not read
/// back as written.
FileResult writeTextLines(const QString& path, const QStringList& lines);

/// Appends one line (ended by CR LF), creating the file when missing. The
/// bytes go out in a single write while the file is locked against other
/// appends; a write that fails part-way is cut back, so the file never ends in
/// half a line. If the file's last line has no line end (edited by hand), one
/// is added first so the new line stays a line. Refused for a file that is
/// not a regular one. The result names the file.
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

/// What a system error number means, for messages: German for the window,
/// English for standard error ("der Datenträger ist voll", "no space left on
/// the disk"). Without a number (0) the fallback text is taken, unless it is
/// Qt's empty "Unknown error".
struct SystemReason {
    QString german;
    QString english;
};
SystemReason systemReason(int error, const QString& fallback = {});

/// "„name“" for messages.
QString quotedName(const QString& text);
/// The file name as the user knows it, for messages.
QString displayPath(const QString& path);

} // namespace tolvana
