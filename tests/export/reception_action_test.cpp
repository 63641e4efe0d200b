// Reception actions: a real program (a shell script written at test time into
// a folder with a blank in its name) records the arguments it was started
// with, so the test sees exactly what a user's program would see.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

#include "event_wait.h"
#include "export/reception_action.h"

namespace tolvana {
namespace {

using test::waitFor;

/// Writes "<script>.stdio" (where its standard input and output lead) and
/// "<script>.args" (every argument followed by a zero byte). The arguments
/// are renamed into place last, so both files are complete once it exists.
constexpr char kRecorder[] = "#!/bin/sh\n"
                             "in=$(readlink /proc/$$/fd/0); out=$(readlink /proc/$$/fd/1)\n"
                             "printf '%s\\n%s\\n' \"$in\" \"$out\" > \"$0.stdio\"\n"
                             "printf '%s\\0' \"$@\" > \"$0.args.tmp\"\n"
                             "mv \"$0.args.tmp\" \"$0.args\"\n";

class ActionProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QString folder = m_dir.filePath(QStringLiteral("Aktion mit Leerzeichen"));
        ASSERT_TRUE(QDir().mkpath(folder));
        m_program = QDir(folder).filePath(QStringLiteral("melde ein.sh"));
        QFile script(m_program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(kRecorder);
        script.close();
        ASSERT_TRUE(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner));
    }

    /// Waits for the program's record and returns its arguments, UTF-8 decoded.
    QStringList recordedArguments() {
        QFile record(m_program + QStringLiteral(".args"));
        if (!waitFor([&] { return record.exists(); })) {
            ADD_FAILURE() << "the action program did not run";
            return {};
        }
        EXPECT_TRUE(record.open(QIODevice::ReadOnly));
        const QByteArray bytes = record.readAll();
        record.close();
        record.remove();
        QStringList args;
        for (const QByteArray& part : bytes.split('\0')) {
            args.append(QString::fromUtf8(part));
        }
        // split() leaves an empty piece after the last terminator.
        EXPECT_FALSE(args.isEmpty());
        EXPECT_TRUE(args.back().isEmpty());
        args.removeLast();
        return args;
    }

    QTemporaryDir m_dir;
    QString m_program;
};

struct ArgumentCase {
    const char* what;
    QStringList arguments;
    QStringList expected;
};

TEST_F(ActionProgram, ReceivesEachValueAsOneArgument) {
    const std::vector<ArgumentCase> cases = {
        {"FMS", fmsActionArguments(QStringLiteral("62345678")), {QStringLiteral("FMS"), QStringLiteral("62345678")}},
        {"ZVEI", zveiActionArguments(QStringLiteral("12345")), {QStringLiteral("ZVEI"), QStringLiteral("12345")}},
        {"POCSAG with blanks, quotes, umlauts and shell characters",
         pocsagActionArguments(1234567, 3, QStringLiteral("Brand \"Scheune\" M\u00FCllerstra\u00DFe 5; $HOME `id` \u20AC")),
         {QStringLiteral("POC"), QStringLiteral("1234567"), QStringLiteral("3"),
          QStringLiteral("Brand \"Scheune\" M\u00FCllerstra\u00DFe 5; $HOME `id` \u20AC")}},
        {"POCSAG with empty text keeps four arguments", pocsagActionArguments(8, 0, QString()),
         {QStringLiteral("POC"), QStringLiteral("8"), QStringLiteral("0"), QString()}},
    };
    ProcessActionStarter starter;
    for (const ArgumentCase& c : cases) {
        starter.start(m_program, c.arguments);
        EXPECT_EQ(recordedArguments(), c.expected) << c.what;
    }
}

TEST_F(ActionProgram, NeitherReadsOurInputNorWritesIntoOurOutput) {
    ProcessActionStarter starter;
    starter.start(m_program, zveiActionArguments(QStringLiteral("12345")));
    ASSERT_EQ(recordedArguments().size(), 2);
    QFile stdio(m_program + QStringLiteral(".stdio"));
    ASSERT_TRUE(stdio.open(QIODevice::ReadOnly));
    EXPECT_EQ(stdio.readAll(), QByteArray("/dev/null\n/dev/null\n"));
}

/// Collects Qt warnings (the starter's standard-error report) while alive.
class WarningLog {
public:
    WarningLog() {
        s_lines.clear();
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg) {
                s_lines.append(text);
            }
        });
    }
    ~WarningLog() { qInstallMessageHandler(m_previous); }
    WarningLog(const WarningLog&) = delete;
    WarningLog& operator=(const WarningLog&) = delete;

    static const QStringList& lines() { return s_lines; }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

TEST_F(ActionProgram, AMissingProgramIsLoggedAndTheNextActionStillRuns) {
    ProcessActionStarter starter;
    const QString missing = m_dir.filePath(QStringLiteral("gibt es nicht"));
    {
        WarningLog log;
        starter.start(missing, zveiActionArguments(QStringLiteral("12345")));
        ASSERT_EQ(WarningLog::lines().size(), 1);
        EXPECT_TRUE(WarningLog::lines().front().contains(missing)) << WarningLog::lines().front().toStdString();
        EXPECT_TRUE(WarningLog::lines().front().contains(QStringLiteral("could not be started")));
    }
    starter.start(m_program, zveiActionArguments(QStringLiteral("54321")));
    EXPECT_EQ(recordedArguments(), (QStringList{QStringLiteral("ZVEI"), QStringLiteral("54321")}));
}

// A path pasted by mistake (here 10 MB of text) is named by its beginning
// and end, once, not in full for every reception; once the action runs
// again, a new failure is reported anew.
TEST_F(ActionProgram, AFailingProgramIsReportedOnceAndAHugePathShortened) {
    ProcessActionStarter starter;
    const QString huge = m_dir.filePath(QStringLiteral("Alarm")) + QString(10 * 1024 * 1024, u'x');
    {
        WarningLog log;
        for (int i = 0; i < 3; ++i) {
            starter.start(huge, zveiActionArguments(QStringLiteral("12345")));
        }
        ASSERT_EQ(WarningLog::lines().size(), 1);
        const QString& line = WarningLog::lines().front();
        EXPECT_LT(line.size(), 400) << line.left(400).toStdString();
        EXPECT_TRUE(line.contains(m_dir.filePath(QStringLiteral("Alarm")))) << line.left(400).toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("(%1 characters)").arg(huge.size()))) << line.toStdString();
    }
    starter.start(m_program, zveiActionArguments(QStringLiteral("54321")));
    EXPECT_EQ(recordedArguments(), (QStringList{QStringLiteral("ZVEI"), QStringLiteral("54321")}));
    WarningLog log;
    starter.start(huge, zveiActionArguments(QStringLiteral("12345")));
    EXPECT_EQ(WarningLog::lines().size(), 1);
    EXPECT_EQ(shownProgram(m_program), m_program);
}

TEST_F(ActionProgram, AnEmptyProgramStartsNothingAndLogsNothing) {
    WarningLog log;
    ProcessActionStarter starter;
    starter.start(QString(), fmsActionArguments(QStringLiteral("62345678")));
    EXPECT_TRUE(WarningLog::lines().isEmpty());
}

/// What the hand-off tests put in place of real processes.
class RecordingStarter final : public ActionStarter {
public:
    std::vector<std::pair<QString, QStringList>> started;

private:
    void launch(const QString& program, const QStringList& arguments) override {
        started.emplace_back(program, arguments);
    }
};

TEST(ActionStarter, PassesProgramAndArgumentsOnUnlessTheProgramIsEmpty) {
    RecordingStarter starter;
    starter.start(QString(), zveiActionArguments(QStringLiteral("12345")));
    starter.start(QStringLiteral("/opt/alarm/bin/alarm"), pocsagActionArguments(1234567, 2, QStringLiteral("a b")));
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(starter.started[0].first, QStringLiteral("/opt/alarm/bin/alarm"));
    EXPECT_EQ(starter.started[0].second, (QStringList{QStringLiteral("POC"), QStringLiteral("1234567"),
                                                      QStringLiteral("2"), QStringLiteral("a b")}));
}

} // namespace
} // namespace tolvana
