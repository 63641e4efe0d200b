#include "capture/capture_messages.h"

namespace tolvana {

CaptureMessage captureMessage(CaptureProblem problem, const QString& detail) {
    using Icon = CaptureMessage::Icon;
    switch (problem) {
    case CaptureProblem::NoDevice:
        return {QStringLiteral("Achtung!"), QStringLiteral("Keine Soundkarte (Input-Device)!"),
                Icon::Critical};
    case CaptureProblem::NoDeviceChosen:
        return {QString(), QStringLiteral("Es wurde noch keine Soundkarte selektiert"), Icon::None};
    case CaptureProblem::CannotOpen:
        return {
            QStringLiteral("Achtung:"),
            QStringLiteral(
                "Soundkarte kann nicht geöffnet werden ! (von anderem Programm in Benutzung ?)"),
            Icon::Warning};
    case CaptureProblem::DeviceLost:
        return {QStringLiteral("Achtung:"),
                QStringLiteral(
                    "Die Soundkarte \"%1\" liefert keinen Ton mehr, die Aufnahme wurde beendet ! "
                    "(Gerät entfernt oder Audiodienst beendet ?)")
                    .arg(detail),
                Icon::Warning};
    case CaptureProblem::Overrun:
        return {
            QStringLiteral("Achtung:"),
            QStringLiteral(
                "Die Verarbeitung war blockiert: %1 s Ton der Soundkarte sind verloren gegangen.")
                .arg(detail),
            Icon::Warning};
    }
    return {QStringLiteral("Achtung!"), QStringLiteral("unbekannter Fehler"), Icon::Critical};
}

} // namespace tolvana
