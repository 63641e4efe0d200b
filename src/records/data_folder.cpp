#include "records/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include "records/text_file.h"

namespace tolvana {

QString DataFolder::chooseRoot(const QString& homeOption, const QString& environmentHome) {
    if (!homeOption.isEmpty()) {
        return homeOption;
    }
    if (!environmentHome.isEmpty()) {
        return environmentHome;
    }
    return defaultRoot();
}

QString DataFolder::locate(const QString& homeOption) {
    return chooseRoot(homeOption, qEnvironmentVariable("TOLVANA_HOME"));
}

QString DataFolder::defaultRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tolvana");
}

std::optional<DataFolder> DataFolder::open(const QString& root, QString* failedFolder, int* systemError) {
    const QString absolute = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    DataFolder folder(absolute);
    for (const QString& path : {folder.root(), folder.statusDir(), folder.logDir()}) {
        // mkpath() also succeeds for a folder that exists already.
        errno = 0;
        const bool made = QDir().mkpath(path);
        const int error = made ? 0 : errno;
        if (!made || !QFileInfo(path).isDir()) {
            if (failedFolder != nullptr) {
                *failedFolder = path;
            }
            if (systemError != nullptr) {
                *systemError = QFileInfo::exists(path) && !QFileInfo(path).isDir() ? EEXIST : error;
            }
            return std::nullopt;
        }
    }
    return folder;
}

QString DataFolder::creationError(const QString& failedFolder) {
    return QStringLiteral("Der Ordner %1 kann nicht angelegt werden. "
                          "Ohne ihn k\u00F6nnen Einstellungen, Tabellen und Logb\u00FCcher "
                          "nicht gespeichert werden.")
        .arg(quotedName(displayPath(failedFolder)));
}

QString DataFolder::creationErrorEnglish(const QString& failedFolder, int systemError) {
    return QStringLiteral("cannot create the data folder %1: %2")
        .arg(displayPath(failedFolder), systemReason(systemError).english);
}

QString DataFolder::filterFile(FilterKind kind) const {
    switch (kind) {
    case FilterKind::Fms:
        return file(QLatin1String("filter_fms.txt"));
    case FilterKind::Zvei:
        return file(QLatin1String("filter_zvei.txt"));
    case FilterKind::Pocsag:
        break;
    }
    return file(QLatin1String("filter_poc.txt"));
}

QString DataFolder::statusFile(int index) const {
    return statusDir() + u'/' + QString::number(index) + QStringLiteral(".txt");
}

QString DataFolder::logFile(ReceptionKind kind, QDate day) const {
    return logDir() + u'/' + dailyLogFileName(kind, day);
}

QString dailyLogFileName(ReceptionKind kind, QDate day) {
    QString prefix;
    switch (kind) {
    case ReceptionKind::Fms:
        prefix = QStringLiteral("FMS-");
        break;
    case ReceptionKind::Zvei:
        prefix = QStringLiteral("zvei-");
        break;
    case ReceptionKind::Pocsag:
        prefix = QStringLiteral("poc-");
        break;
    }
    return prefix + QString::number(day.year()) + u'-' + QString::number(day.month()) + u'-' +
           QString::number(day.day()) + QStringLiteral(".txt");
}

} // namespace tolvana
