// The launcher as an installer and a user meet it: the argument string cut
// at its separators, the dialog's texts and buttons, "&Yes" starting a real
// program that writes down its arguments, and the program itself ending at
// once without an argument string.
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "postrun/postrun_arguments.h"
#include "postrun/postrun_form.h"

namespace postrun {

class PostrunTest : public QObject {
    Q_OBJECT

private slots:
    void cutsTheArgumentString_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("title");
        QTest::newRow("all three") << "C:\\App\\x.exe#;#-a -b#;#My App" << "C:\\App\\x.exe -a -b" << "My App";
        QTest::newRow("empty parameters and title")
            << "C:\\App\\x.exe#;##;#" << "C:\\App\\x.exe " << "x.exe";
        QTest::newRow("no second separator") << "C:\\App\\x.exe#;#-a" << "C:\\App\\x.exe -a" << "";
        QTest::newRow("no separator") << "C:\\App\\x.exe -a" << "C:\\App\\x.exe -a " << "";
        QTest::newRow("more separators stay in the title")
            << "a#;#b#;#c#;#d#;#" << "a b" << "c#;#d#;#";
        QTest::newRow("nothing trimmed")
            << " /opt/app/run #;# -v #;# Mein Programm " << " /opt/app/run   -v " << " Mein Programm ";
        QTest::newRow("unix path, title from its name") << "/opt/app/run#;#--flag#;#" << "/opt/app/run --flag"
                                                        << "run";
        QTest::newRow("drive only") << "C:x.exe#;##;#" << "C:x.exe " << "x.exe";
    }
    void cutsTheArgumentString() {
        QFETCH(QString, arguments);
        QFETCH(QString, command);
        QFETCH(QString, title);
        const LaunchRequest request = parseLaunchRequest(arguments);
        QCOMPARE(request.command(), command);
        QCOMPARE(request.title, title);
    }

    void startsThePathWithTheParametersSplitAsAShellDoes() {
        const StartCommand c =
            startCommand(parseLaunchRequest(QStringLiteral("\"/opt/My App/run\"#;#--flag \"zwei Wörter\"#;#T")));
        QCOMPARE(c.program, QStringLiteral("/opt/My App/run"));
        QCOMPARE(c.arguments, QStringList({QStringLiteral("--flag"), QStringLiteral("zwei Wörter")}));
    }

    void dialogShowsTheQuestion() {
        PostrunMainForm form(parseLaunchRequest(QStringLiteral("C:\\App\\x.exe#;#-a -b#;#My App")));
        QCOMPARE(form.windowTitle(), QStringLiteral("My App"));
        QCOMPARE(form.mainLabel()->text(), QStringLiteral("Programm starten:  My App     "));
        QCOMPARE(form.yesButton()->text(), QStringLiteral("&Yes"));
        QCOMPARE(form.noButton()->text(), QStringLiteral("&No"));
        QCOMPARE(form.yesButton()->nextInFocusChain(), form.noButton());
        QCOMPARE(form.size(), QSize(251, 106));
        // No such file here: no icon, and nothing else goes wrong.
        QVERIFY(form.iconImage()->pixmap().isNull());
    }

    void yesStartsTheProgramWithItsArguments() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString record = dir.filePath(QStringLiteral("arguments.txt"));
        {
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            // Written aside and moved in place: the file appears complete.
            script.write(("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record +
                          ".part' && mv '" + record + ".part' '" + record + "'\n")
                             .toUtf8());
        }
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        PostrunMainForm form(parseLaunchRequest(program + QStringLiteral("#;#--flag \"zwei Wörter\"#;#Mein Programm")));
        form.show();
        QVERIFY(!form.iconImage()->pixmap().isNull()); // the platform's icon of the file
        QSignalSpy finished(&form, &QDialog::finished);
        QTest::mouseClick(form.yesButton(), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!form.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile result(record);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(result.readAll()), QStringLiteral("--flag\nzwei Wörter\n"));
    }

    void noAndTheCloseButtonStartNothing() {
        int started = 0;
        const auto count = [&started](const QString&, const QStringList&) { ++started; };
        const LaunchRequest request = parseLaunchRequest(QStringLiteral("/bin/true#;##;#"));
        {
            PostrunMainForm form(request, count);
            form.show();
            QSignalSpy finished(&form, &QDialog::finished);
            QTest::mouseClick(form.noButton(), Qt::LeftButton);
            QCOMPARE(finished.count(), 1);
        }
        {
            PostrunMainForm form(request, count);
            form.show();
            QSignalSpy finished(&form, &QDialog::finished);
            form.close();
            QCOMPARE(finished.count(), 1);
        }
        QCOMPARE(started, 0);
    }

    void programEndsAtOnceWithoutArguments() {
        QProcess process;
        // No display at all: the launcher must not even need one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(POSTRUN_EXE), {});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

} // namespace postrun

QTEST_MAIN(postrun::PostrunTest)
#include "postrun_test.moc"
