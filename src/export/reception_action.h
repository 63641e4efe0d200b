// Reception action: the user's program (`actionProgram`) started on each
// reception with the kind and the data of the reception as its arguments, so
// it can raise an alarm, print or forward the call.
//
//   FMS      program  "FMS"  <kennung>                       2 arguments
//   ZVEI     program  "ZVEI" <number>                        2 arguments
//   POCSAG   program  "POC"  <ric> <function> <text>         4 arguments
//
// Every value is one argument of its own, passed as it is (no shell, no
// quoting, no splitting at blanks): a pager text with blanks, quotes or
// umlauts arrives as one argument, exactly as received. The program is not
// waited for; whether it started does not hold up the reception.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tolvana {

QStringList fmsActionArguments(const QString& kennung);
QStringList zveiActionArguments(const QString& number);
QStringList pocsagActionArguments(std::uint32_t ric, int function, const QString& text);

/// Starts the action program. The hand-offs talk to this interface so their
/// tests can put a fake in place of real processes.
class ActionStarter {
public:
    virtual ~ActionStarter() = default;

    /// Starts `program` with `arguments` and returns at once. An empty program
    /// means that no action is configured: nothing is started.
    void start(const QString& program, const QStringList& arguments) {
        if (!program.isEmpty()) {
            launch(program, arguments);
        }
    }

private:
    /// Starts a program that is named; never waits, never throws.
    virtual void launch(const QString& program, const QStringList& arguments) = 0;
};

/// Starts the program as a detached process: it outlives tolvana, inherits
/// the current folder and standard error, reads no input (its standard input
/// and output are the null device) and is never waited for. It inherits no
/// other file of tolvana's: every file, socket and the recording are opened
/// close-on-exec. A program that cannot be started is reported on standard
/// error (a warning, with a long path shortened), once until it starts again,
/// and otherwise ignored.
class ProcessActionStarter final : public ActionStarter {
private:
    void launch(const QString& program, const QStringList& arguments) override;

    QString m_failing; ///< program and reason of the failure last reported
};

/// The program's path as messages show it: a path of more than 180
/// characters by its beginning and end and its length.
QString shownProgram(const QString& program);

} // namespace tolvana
