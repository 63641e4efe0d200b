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

QString shownProgram(const QString& program) {
    // A path pasted by mistake (a whole text, megabytes long) must not flood
    // standard error once per reception; its beginning and end name it well.
    constexpr qsizetype kHead = 120;
    constexpr qsizetype kTail = 40;
    if (program.size() <= kHead + kTail + 20) {
        return program;
    }
    return program.left(kHead) + QStringLiteral("\u2026") + program.right(kTail) +
           QStringLiteral(" (%1 characters)").arg(program.size());
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
    QString reason;
    // No system runs a program by a longer path; trying would only cost
    // time (copying megabytes) on every reception.
    constexpr qsizetype kMaxProgramPath = 4096;
    if (program.toUtf8().size() >= kMaxProgramPath) {
        reason = QStringLiteral("the path is longer than any the system accepts");
    } else if (process.startDetached()) {
        m_failing.clear();
        return;
    } else {
        reason = process.errorString();
        if (reason.startsWith(QLatin1String("execv: "))) {
            reason = reason.mid(7);
        }
    }
    // Once, not per reception, until the program starts again (or another
    // reason stops it).
    const QString failure = program + QLatin1Char('\n') + reason;
    if (failure == m_failing) {
        return;
    }
    m_failing = failure;
    qWarning().noquote() << QStringLiteral("tolvana: action program \"%1\" could not be started: %2; "
                                           "the receptions go on without it")
                                .arg(shownProgram(program), reason);
}

} // namespace tolvana
