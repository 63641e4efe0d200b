#include "export/fake_dial_up.h"

#include <QTimer>

namespace tolvana {

bool FakeDialUp::available(QString* reason) {
    calls << QStringLiteral("available");
    if (!isAvailable && reason != nullptr) {
        *reason = unavailableReason;
    }
    return isAvailable;
}

QStringList FakeDialUp::entries() {
    calls << QStringLiteral("entries");
    return connections;
}

bool FakeDialUp::isConnected() {
    calls << QStringLiteral("isConnected");
    return connected;
}

void FakeDialUp::dial(const QString& entry) {
    calls << QStringLiteral("dial ") + entry;
    m_dialling = entry;
    if (answerDial) {
        // Asynchronous, as the real service is.
        QTimer::singleShot(0, this, [this] { finishDial(); });
    }
}

void FakeDialUp::finishDial() {
    const QString entry = m_dialling;
    m_dialling.clear();
    if (dialSucceeds) {
        connected = true;
    }
    emit dialFinished(entry, dialSucceeds, dialSucceeds ? QString() : dialError);
}

void FakeDialUp::hangUp(const QString& entry) {
    calls << QStringLiteral("hangUp ") + entry;
    connected = false;
}

} // namespace tolvana
