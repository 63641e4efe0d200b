// Dial-up through NetworkManager's command-line client:
//
//   entries      nmcli -t -f NAME,TYPE,ACTIVE connection show   (inactive, not loopback)
//   isConnected  nmcli -t -f STATE general                       ("connected": internet)
//   dial         nmcli --wait 90 connection up id NAME           (run asynchronously)
//   hangUp       nmcli connection down id NAME                   (not waited for)
//
// nmcli runs with LC_ALL=C so that its states are not translated. Where
// nmcli is missing or NetworkManager is not running, available() says so.
#pragma once

#include <QStringList>

#include "export/dial_up.h"

namespace tolvana {

class NmcliDialUp final : public DialUpService {
    Q_OBJECT

public:
    /// `program` is the nmcli to run (a name on PATH or a path).
    explicit NmcliDialUp(QString program = QStringLiteral("nmcli"), QObject* parent = nullptr);

    bool available(QString* reason) override;
    QStringList entries() override;
    bool isConnected() override;
    void dial(const QString& entry) override;
    void hangUp(const QString& entry) override;

    /// The fields of one line of nmcli's terse output: split at ':' that
    /// are not escaped, with "\:" and "\\" read back.
    static QStringList terseFields(const QString& line);

private:
    /// Runs nmcli and waits a short time; false when it could not run, did
    /// not end in time or failed.
    bool run(const QStringList& arguments, QString* output);

    QString m_program;
};

} // namespace tolvana
