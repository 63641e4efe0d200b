// Dial-up connections for the upload: where the computer reaches the
// internet only over a connection that is brought up on demand (a modem, a
// mobile-network stick, a VPN), the upload dials one of the system's
// connections first and hangs it up again afterwards. The system side is
// this interface, with NetworkManager behind it in the program and a fake
// in tests.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace tolvana {

class DialUpService : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// Whether connections can be dialled at all; if not, `reason` gets a
    /// German text for the user.
    virtual bool available(QString* reason) = 0;
    /// Names of the connections that can be dialled (those not up yet).
    virtual QStringList entries() = 0;
    /// True when the computer reaches the internet now (over any connection).
    virtual bool isConnected() = 0;
    /// Starts bringing `entry` up and returns at once; dialFinished follows,
    /// also when it fails.
    virtual void dial(const QString& entry) = 0;
    /// Takes `entry` down again, without waiting.
    virtual void hangUp(const QString& entry) = 0;

signals:
    /// `error` is the system's reason when `ok` is false (may be empty).
    void dialFinished(const QString& entry, bool ok, const QString& error);
};

} // namespace tolvana
