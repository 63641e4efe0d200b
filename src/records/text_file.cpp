#include "records/text_file.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QThread>

#include <cerrno>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

#include "records/text_codec.h"

namespace tolvana {

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";
constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";
constexpr QByteArrayView kUtf16LeMark = "\xFF\xFE";
constexpr QByteArrayView kUtf16BeMark = "\xFE\xFF";

/// How long an append waits for another process's append to the same file.
constexpr int kAppendLockWaitMs = 2000;

using Reason = SystemReason;

// The system's error number says what happened; Qt's own text is only the
// last resort, since a short write leaves it at "Unknown error".
Reason reasonOf(int error, const QString& qtText) {
    switch (error) {
    case ENOSPC:
        return {QStringLiteral("der Datentr\u00E4ger ist voll"), QStringLiteral("no space left on the disk")};
#ifdef EDQUOT
    case EDQUOT:
        return {QStringLiteral("das Speicherkontingent ist ersch\u00F6pft"), QStringLiteral("disk quota exceeded")};
#endif
    case EFBIG:
        return {QStringLiteral("die Datei w\u00FCrde gr\u00F6\u00DFer, als das System erlaubt"),
                QStringLiteral("the file would grow beyond the size the system allows")};
    case EACCES:
    case EPERM:
        return {QStringLiteral("keine Berechtigung"), QStringLiteral("permission denied")};
    case EROFS:
        return {QStringLiteral("der Datentr\u00E4ger ist schreibgesch\u00FCtzt"),
                QStringLiteral("the file system is read-only")};
    case EIO:
        return {QStringLiteral("Ein-/Ausgabefehler des Datentr\u00E4gers"), QStringLiteral("input/output error")};
    case ENOENT:
        return {QStringLiteral("der Ordner fehlt"), QStringLiteral("the folder does not exist")};
    case EEXIST:
        return {QStringLiteral("an ihrer Stelle steht eine Datei"), QStringLiteral("a file stands in its place")};
    case EISDIR:
        return {QStringLiteral("an ihrer Stelle steht ein Ordner"), QStringLiteral("a folder stands in its place")};
    case ENOTDIR:
        return {QStringLiteral("ein Teil des Pfades ist kein Ordner"),
                QStringLiteral("a part of the path is not a folder")};
    case EMFILE:
    case ENFILE:
        return {QStringLiteral("zu viele offene Dateien"), QStringLiteral("too many open files")};
    case ENAMETOOLONG:
        return {QStringLiteral("der Name ist zu lang"), QStringLiteral("the name is too long")};
    case 0:
        break;
    default: {
        const QString system = qt_error_string(error);
        return {QStringLiteral("Systemfehler: %1").arg(system), system};
    }
    }
    if (!qtText.isEmpty() && qtText != QLatin1String("Unknown error")) {
        return {QStringLiteral("Fehler: %1").arg(qtText), qtText};
    }
    return {QStringLiteral("das System nannte keinen Grund"), QStringLiteral("the system gave no reason")};
}

Reason notRegular() {
    return {QStringLiteral("sie ist keine gew\u00F6hnliche Datei (ein Ordner, eine Pipe oder ein Ger\u00E4t "
                           "steht an ihrer Stelle)"),
            QStringLiteral("it is not a regular file (a folder, a pipe or a device stands in its place)")};
}

FileResult readFailure(const QString& path, const Reason& why) {
    const QString shown = displayPath(path);
    return FileResult::failure(
               QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2.").arg(quotedName(shown), why.german),
               QStringLiteral("cannot read %1: %2").arg(shown, why.english))
        .about(path);
}

FileResult writeFailure(const QString& path, const Reason& why, const QString& subject = {}) {
    const QString shown = displayPath(path);
    return FileResult::failure(QStringLiteral("%1 %2 kann nicht gespeichert werden: %3. "
                                              "Die bisherige Fassung bleibt erhalten.")
                                   .arg(subject.isEmpty() ? QStringLiteral("Die Datei") : subject,
                                        quotedName(shown), why.german),
                               QStringLiteral("cannot save %1: %2; the previous version is kept")
                                   .arg(shown, why.english))
        .about(path);
}

FileResult appendFailure(const QString& path, const Reason& why) {
    const QString shown = displayPath(path);
    return FileResult::failure(QStringLiteral("Die Zeile kann nicht an %1 angeh\u00E4ngt werden: %2.")
                                   .arg(quotedName(shown), why.german),
                               QStringLiteral("cannot append a line to %1: %2").arg(shown, why.english))
        .about(path);
}

QString megabytes(qint64 bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

#ifdef Q_OS_UNIX
/// Holds an exclusive lock of an open file against other appends (flock:
/// tolvana's own processes, and whoever else takes it the same way).
class AppendLock {
public:
    explicit AppendLock(int fd) : m_fd(fd) {
        const QDeadlineTimer deadline(kAppendLockWaitMs);
        for (;;) {
            if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_held = true;
                return;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK || deadline.hasExpired()) {
                // A file system without locks still takes the append.
                m_held = false;
                m_busy = errno == EWOULDBLOCK;
                return;
            }
            QThread::msleep(5);
        }
    }
    ~AppendLock() {
        if (m_held) {
            flock(m_fd, LOCK_UN);
        }
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;

    /// Another process kept the file locked for the whole wait.
    bool busy() const { return m_busy; }

private:
    int m_fd;
    bool m_held = false;
    bool m_busy = false;
};
#endif

} // namespace

SystemReason systemReason(int error, const QString& fallback) {
    return reasonOf(error, fallback);
}

QString quotedName(const QString& text) {
    return QStringLiteral("\u201E%1\u201C").arg(text);
}

QString displayPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

TextLines readTextLines(const QString& path) {
    TextLines out;
    const QFileInfo info(path);
    if (!info.exists()) {
        return out;
    }
    out.exists = true;
    if (!info.isFile()) {
        out.result = readFailure(path, notRegular());
        return out;
    }
    if (info.size() > kMaxTextFileBytes) {
        out.result = readFailure(
            path, {QStringLiteral("sie ist mit %1 MB gr\u00F6\u00DFer als die erlaubten %2 MB")
                       .arg(megabytes(info.size()), megabytes(kMaxTextFileBytes)),
                   QStringLiteral("it holds %1 MB, more than the %2 MB allowed")
                       .arg(megabytes(info.size()), megabytes(kMaxTextFileBytes))});
        return out;
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        out.result = readFailure(path, reasonOf(errno, file.errorString()));
        return out;
    }
    // A file that grows while it is read is taken up to the limit.
    errno = 0;
    const QByteArray bytes = file.read(kMaxTextFileBytes);
    if (file.error() != QFileDevice::NoError) {
        out.result = readFailure(path, reasonOf(errno, file.errorString()));
        return out;
    }
    QString text = decodeTextFile(bytes);
    if (!bytes.startsWith(kUtf8Mark) && !bytes.startsWith(kUtf16LeMark) && !bytes.startsWith(kUtf16BeMark)) {
        out.lines = splitTextLines(std::move(text));
        return out;
    }
    // The program's texts are those of Windows-1252, the character set its
    // files are written in; a character it has no byte for becomes "?" here,
    // as it would when the file is saved, and the user is told.
    const QString kept = fromWindows1252(toWindows1252(text));
    if (kept != text) {
        const QString name = QFileInfo(path).fileName();
        out.result.addWarning(
            QStringLiteral("%1 enth\u00E4lt Zeichen, die der Zeichensatz Windows-1252 nicht kennt; sie "
                           "werden als \u201E?\u201C gelesen.")
                .arg(name),
            QStringLiteral("%1 holds characters that Windows-1252 does not have; they are read as \"?\"")
                .arg(name));
    }
    out.lines = splitTextLines(kept);
    return out;
}

QString decodeTextFile(QByteArrayView bytes) {
    if (bytes.startsWith(kUtf8Mark)) {
        return QString::fromUtf8(bytes.sliced(kUtf8Mark.size()));
    }
    if (bytes.startsWith(kUtf16LeMark) || bytes.startsWith(kUtf16BeMark)) {
        QStringDecoder decode(bytes.startsWith(kUtf16LeMark) ? QStringConverter::Utf16LE
                                                             : QStringConverter::Utf16BE);
        return decode(bytes.sliced(2));
    }
    return fromWindows1252(bytes);
}

QStringList textLinesOf(QByteArrayView bytes) {
    return splitTextLines(fromWindows1252(bytes));
}

QStringList splitTextLines(QString text) {
    if (text.isEmpty()) {
        return {};
    }
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    return lines;
}

FileResult writeFileAtomically(const QString& path, QByteArrayView bytes, const QString& subject) {
    // QSaveFile writes a temporary file beside the target, syncs it to the
    // disk and renames it over the target on commit; the old file stays
    // untouched until then. It is opened unbuffered: a buffered QSaveFile
    // writes its last block only inside commit(), where a short write (a
    // full disk) goes unnoticed and the cut-off file replaces the good one.
    if (QFileInfo(path).isDir()) {
        return writeFailure(path, reasonOf(EISDIR, {}), subject);
    }
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return writeFailure(path, reasonOf(errno, file.errorString()), subject);
    }
    errno = 0;
    const qint64 written = file.write(bytes.data(), bytes.size());
    if (written != bytes.size()) {
        const int error = errno;
        const QString qtText = file.errorString();
        file.cancelWriting(); // the temporary file goes with `file`
        return writeFailure(path, reasonOf(error, qtText), subject);
    }
    errno = 0;
    if (!file.commit()) {
        return writeFailure(path, reasonOf(errno, file.errorString()), subject);
    }
    return FileResult().about(path);
}

FileResult writeTextLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += toWindows1252(line);
        bytes.append(kLineEnd);
    }
    for (const QByteArrayView mark : {kUtf8Mark, kUtf16LeMark, kUtf16BeMark}) {
        if (bytes.startsWith(mark)) {
            const QString start = fromWindows1252(mark);
            return writeFailure(
                path, {QStringLiteral("sie beg\u00E4nne mit den Zeichen %1, die beim Lesen f\u00FCr die "
                                      "Kennung eines anderen Zeichensatzes gehalten w\u00FCrden")
                           .arg(quotedName(start)),
                       QStringLiteral("it would begin with the characters \"%1\", which a reader takes "
                                      "for the byte-order mark of another character set")
                           .arg(start)});
        }
    }
    return writeFileAtomically(path, bytes);
}

FileResult appendTextLine(const QString& path, const QString& line) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return appendFailure(path, notRegular());
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        return appendFailure(path, reasonOf(errno, file.errorString()));
    }
#ifdef Q_OS_UNIX
    // The end of the file, the line end check and the cut-back after a
    // failed write hold only while nobody else appends: with two writers, a
    // cut-back to the end measured before would remove the other's line.
    const AppendLock lock(file.handle());
    if (lock.busy()) {
        return appendFailure(path, {QStringLiteral("ein anderes Programm h\u00E4lt die Datei gesperrt"),
                                    QStringLiteral("another program keeps the file locked")});
    }
#endif
    const qint64 before = file.size();
    QByteArray bytes;
    if (before > 0) {
        char last = 0;
        errno = 0;
        if (!file.seek(before - 1) || !file.getChar(&last)) {
            return appendFailure(path, reasonOf(errno, file.errorString()));
        }
        if (last != '\n') {
            bytes.append(kLineEnd);
        }
    }
    bytes += toWindows1252(line);
    bytes.append(kLineEnd);
    errno = 0;
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        const int error = errno;
        const QString qtText = file.errorString();
        // A disk that filled up part-way leaves a piece of the line behind;
        // cut it off so the next reader sees whole lines only.
        if (written > 0 && !file.resize(before)) {
            Reason why = reasonOf(error, qtText);
            why.german += QStringLiteral("; das angefangene St\u00FCck der Zeile lie\u00DF sich nicht entfernen");
            why.english += QStringLiteral("; the piece of the line written could not be removed");
            return appendFailure(path, why);
        }
        return appendFailure(path, reasonOf(error, qtText));
    }
    return FileResult().about(path);
}

FileResult removeFileIfPresent(const QString& path) {
    QFile file(path);
    errno = 0;
    if (!file.exists() || file.remove()) {
        return FileResult().about(path);
    }
    const Reason why = reasonOf(errno, file.errorString());
    const QString shown = displayPath(path);
    return FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gel\u00F6scht werden: %2.")
                                   .arg(quotedName(shown), why.german),
                               QStringLiteral("cannot delete %1: %2").arg(shown, why.english))
        .about(path);
}

QStringList splitFields(const QString& line) {
    return line.split(kFieldSeparator);
}

qint64 leadingNumber(QStringView text) {
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 10;
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < kLimit) {
            value = value * 10 + (text[i].unicode() - u'0');
        }
    }
    return negative ? -value : value;
}

QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && text.front() == u' ') {
        text = text.mid(1);
    }
    while (!text.isEmpty() && text.back() == u' ') {
        text.chop(1);
    }
    return text;
}

bool breaksFields(const QString& text) {
    return text.contains(u'\t') || breaksLines(text);
}

bool breaksLines(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

} // namespace tolvana
