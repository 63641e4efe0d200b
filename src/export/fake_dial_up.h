// A dial-up service without a system behind it, for tests and for trying
// the dialog: connections are names in a list, dialling one makes the
// computer "connected" (or fails, as set), and every call is written down.
#pragma once

#include <QStringList>

#include "export/dial_up.h"

namespace tolvana {

class FakeDialUp final : public DialUpService {
    Q_OBJECT

public:
    using DialUpService::DialUpService;

    // What the fake answers.
    bool isAvailable = true;
    QString unavailableReason;
    QStringList connections;
    bool connected = false;
    /// Whether dialling succeeds (and makes `connected` true).
    bool dialSucceeds = true;
    QString dialError;
    /// False: dialFinished only follows finishDial(), as for a slow line.
    bool answerDial = true;

    /// Every call in order: "available", "entries", "isConnected",
    /// "dial NAME", "hangUp NAME".
    QStringList calls;

    bool available(QString* reason) override;
    QStringList entries() override;
    bool isConnected() override;
    void dial(const QString& entry) override;
    void hangUp(const QString& entry) override;

    /// Ends a dial that is held back (answerDial false).
    void finishDial();

private:
    QString m_dialling;
};

} // namespace tolvana
