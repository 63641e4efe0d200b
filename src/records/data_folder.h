// The data folder: Mon.ini, the tables, the filter lists and the status page,
// with the per-vehicle status files in Status/ and the daily logs in Logbuch/.
// Earlier installations kept all of this beside the executable; tolvana keeps
// it in one folder chosen at start (--home, $TOLVANA_HOME, or the platform's
// application data folder), so the files can be carried over unchanged.
#pragma once

#include <QDate>
#include <QString>

#include <optional>
#include <utility>

#include "records/reception_kind.h"

namespace tolvana {

class DataFolder {
public:
    /// The folder to use: `homeOption` (--home) if given, else
    /// `environmentHome` ($TOLVANA_HOME) if set, else defaultRoot().
    static QString chooseRoot(const QString& homeOption, const QString& environmentHome);
    /// chooseRoot() with $TOLVANA_HOME read from the environment.
    static QString locate(const QString& homeOption);
    /// ~/.local/share/tolvana on Linux (the generic data location + "/tolvana").
    static QString defaultRoot();

    /// Creates `root`, Status/ and Logbuch/ where missing. Nothing when a
    /// folder cannot be created; `failedFolder` then names it and
    /// `systemError` holds the system's error number (EEXIST when a file
    /// stands where the folder belongs).
    static std::optional<DataFolder> open(const QString& root, QString* failedFolder = nullptr,
                                          int* systemError = nullptr);
    /// The user's message for a folder that open() could not create.
    static QString creationError(const QString& failedFolder);
    /// The same in English, with the reason, for standard error.
    static QString creationErrorEnglish(const QString& failedFolder, int systemError);

    const QString& root() const { return m_root; }
    QString monIni() const { return file(QLatin1String("Mon.ini")); }
    QString vehiclesFile() const { return file(QLatin1String("Fzg.txt")); }
    QString stationNamesFile() const { return file(QLatin1String("Wachen.txt")); }
    QString callNamesFile() const { return file(QLatin1String("ZVEI.txt")); }
    QString callAssignmentsFile() const { return file(QLatin1String("ZVEI_FMS_Zuord.txt")); }
    QString statusPage() const { return file(QLatin1String("status.html")); }
    /// "filter_fms.txt", "filter_zvei.txt", "filter_poc.txt".
    QString filterFile(FilterKind kind) const;
    QString statusDir() const { return file(QLatin1String("Status")); }
    QString logDir() const { return file(QLatin1String("Logbuch")); }
    /// Status/<index>.txt, the index in decimal without leading zeros.
    QString statusFile(int index) const;
    /// Logbuch/<dailyLogFileName(kind, day)>.
    QString logFile(ReceptionKind kind, QDate day) const;

private:
    explicit DataFolder(QString root) : m_root(std::move(root)) {}
    QString file(QLatin1String name) const { return m_root + u'/' + name; }

    QString m_root; // absolute, without a trailing separator
};

/// "FMS-2004-12-7.txt", "zvei-2004-12-7.txt", "poc-2004-12-7.txt": year,
/// month and day without leading zeros.
QString dailyLogFileName(ReceptionKind kind, QDate day);

} // namespace tolvana
