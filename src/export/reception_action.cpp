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
    // The program must not read tolvana's standard input (the headless
    // program may be decoding sound from it) nor write into its standard
    // output (one line per reception that other tools parse). Its errors
    // still reach standard error.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        qWarning().noquote() << QStringLiteral("tolvana: action program \"%1\" could not be started: %2")
                                    .arg(program, process.errorString());
    }
}

} // namespace tolvana
