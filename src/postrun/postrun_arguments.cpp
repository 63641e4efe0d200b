#include "postrun/postrun_arguments.h"

#include <QProcess>

#include <algorithm>

namespace postrun {

QString LaunchRequest::question() const {
    return QStringLiteral("Programm starten:  ") + title + QStringLiteral("     ");
}

QString fileNamePart(const QString& path) {
    const qsizetype cut = std::max({path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'), path.lastIndexOf(u':')});
    return path.mid(cut + 1);
}

LaunchRequest parseLaunchRequest(const QString& argumentString) {
    const QString separator = QString::fromLatin1(kSeparator);
    LaunchRequest request;
    request.programPath = argumentString;
    const qsizetype first = argumentString.indexOf(separator);
    if (first < 0) {
        return request;
    }
    request.programPath = argumentString.left(first);
    const QString rest = argumentString.mid(first + separator.size());
    const qsizetype second = rest.indexOf(separator);
    if (second < 0) {
        request.parameters = rest;
        return request;
    }
    request.parameters = rest.left(second);
    const QString title = rest.mid(second + separator.size());
    request.title = title.isEmpty() ? fileNamePart(request.programPath) : title;
    return request;
}

QString argumentString(const QStringList& arguments) {
    return arguments.join(u' ');
}

StartCommand startCommand(const LaunchRequest& request) {
    QString program = request.programPath;
    if (program.size() >= 2 && program.startsWith(u'"') && program.endsWith(u'"')) {
        program = program.mid(1, program.size() - 2);
    }
    return StartCommand{program, QProcess::splitCommand(request.parameters)};
}

} // namespace postrun
