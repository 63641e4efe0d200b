#include "records/daily_log.h"

#include <QStringList>

#include "records/text_file.h"

namespace tolvana {

FileResult appendDailyLog(const DataFolder& folder, ReceptionKind kind, const QString& line,
                          const QDateTime& now) {
    // Row texts never hold a line break (the decoders drop control
    // characters); should one slip in, it must not split the log line.
    QString text = line;
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return appendTextLine(folder.logFile(kind, now.date()), text);
}

FileResult reloadTodaysLogs(const DataFolder& folder, QDate today, ReceptionLists& lists) {
    FileResult result;
    for (const ReceptionKind kind : kReceptionKinds) {
        const TextLines file = readTextLines(folder.logFile(kind, today));
        result.merge(file.result);
        QStringList rows;
        rows.reserve(file.lines.size());
        for (const QString& line : file.lines) {
            if (!line.isEmpty()) {
                rows.append(line);
            }
        }
        lists.list(kind).addRows(rows);
    }
    return result;
}

} // namespace tolvana
