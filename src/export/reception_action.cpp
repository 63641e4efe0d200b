#include "export/reception_action.h"

#include <QDebug>
#include <QProcess>

namespace tolvana {

QStringList fmsActionArguments(const QString& kennung) {
    return {QStringLiteral("FMS"), kennung};
}

QStringList zveiActionArguments(const QString& number) {
    return {QStringLiteral("ZVEI"), number};
}

QStringList pocsagActionArguments(std::uint32_t ric, int function, const QString& text) {
    return {QStringLiteral("POC"), QString::number(ric), QString::number(function), text};
}

void ProcessActionStarter::launch(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!process.startDetached()) {
        qWarning().noquote() << QStringLiteral("tolvana: action program \"%1\" could not be started: %2")
                                    .arg(program, process.errorString());
    }
}

} // namespace tolvana
