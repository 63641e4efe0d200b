#include "records/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

#include "records/text_codec.h"

namespace tolvana {

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";

} // namespace

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.result =
            FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                                    .arg(quotedName(displayPath(path)), file.errorString()));
        return out;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        out.result =
            FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                                    .arg(quotedName(displayPath(path)), file.errorString()));
        return out;
    }
    out.lines = textLinesOf(bytes);
    return out;
}

QStringList textLinesOf(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
        return {};
    }
    QString text = fromWindows1252(bytes);
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

FileResult writeTextLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += toWindows1252(line);
        bytes.append(kLineEnd);
    }
    // QSaveFile writes a temporary file beside the target and renames it over
    // the target on commit; the old file stays untouched until then. It is
    // opened unbuffered: a buffered QSaveFile flushes only inside commit(),
    // where a short write (a full disk) goes unnoticed and the cut-off file
    // replaces the good one.
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        return FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gespeichert werden: %2. "
                                                  "Die bisherige Fassung bleibt erhalten.")
                                       .arg(quotedName(displayPath(path)), reason));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(file.errorString());
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting(); // the temporary file goes with `file`
        return fail(reason);
    }
    if (!file.commit()) {
        return fail(file.errorString());
    }
    return {};
}

FileResult appendTextLine(const QString& path, const QString& line) {
    QFile file(path);
    const auto fail = [&](const QString& reason) {
        return FileResult::failure(
            QStringLiteral("Die Zeile kann nicht an %1 angeh\u00E4ngt werden: %2")
                .arg(quotedName(displayPath(path)), reason));
    };
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        return fail(file.errorString());
    }
    const qint64 before = file.size();
    QByteArray bytes;
    if (before > 0) {
        char last = 0;
        if (!file.seek(before - 1) || !file.getChar(&last)) {
            return fail(file.errorString());
        }
        if (last != '\n') {
            bytes.append(kLineEnd);
        }
    }
    bytes += toWindows1252(line);
    bytes.append(kLineEnd);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        // A disk that filled up part-way leaves a piece of the line behind;
        // cut it off so the next reader sees whole lines only.
        file.resize(before);
        return fail(reason);
    }
    return {};
}

FileResult removeFileIfPresent(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.remove()) {
        return {};
    }
    return FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gel\u00F6scht werden: %2")
                                   .arg(quotedName(displayPath(path)), file.errorString()));
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
