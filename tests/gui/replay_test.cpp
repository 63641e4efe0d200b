// A recording replayed into the running window as the sound card would
// deliver it: grids, daily logs and alert lists fill as from the air, and a
// restart shows the same day again. Also what stands beside capture: the
// TCP connection indicator, and a second program on the same data folder.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <fstream>
#include <map>

#include "gui/alert_list_view.h"
#include "gui/capture_controller.h"
#include "gui/colours.h"
#include "gui/lists_tab.h"
#include "gui/monitor_bar.h"
#include "records/data_folder_lock.h"
#include "support/fms_encoder.h"
#include "support/signal.h"
#include "window_rig.h"

namespace tolvana::gui::test {

namespace {

constexpr int kReplayWaitMs = 120000;

/// Mon.ini with every decoder switched on, the rest as without the file.
void enableAllDecoders(const QString& root) {
    QStringList mon(30, QStringLiteral("0"));
    for (const int text : {11, 12, 13, 14, 15, 18, 22}) {
        mon[text] = QString();
    }
    for (int i = 24; i < 30; ++i) {
        mon[i] = QStringLiteral("1");
    }
    writeLines(root + "/Mon.ini", mon);
}

struct Expected {
    QStringList fms;    ///< identity and direction, oldest first
    QStringList zvei;   ///< numbers
    QStringList pocsag; ///< RIC and text
    int talk = 0;       ///< status 15 and call tones
    int status5 = 0;
    int status0 = 0;
};

/// The demo's data folder (names, colours, every decoder on), copied.
void copyDemoHome(const QString& root) {
    const QDir home(testData("demo/home"));
    for (const QString& name : home.entryList(QDir::Files)) {
        QVERIFY(QFile::copy(home.filePath(name), root + u'/' + name));
    }
}

/// What tolvana-decode prints for the demo recording, by kind.
Expected expectedOfDemo() {
    Expected e;
    std::ifstream in(testData("demo/demo.expected").toStdString());
    for (std::string raw; std::getline(in, raw);) {
        const QString line = QString::fromStdString(raw).section('\t', 1);
        const QStringList f = line.split('#');
        if (line.startsWith("Tonruf")) {
            ++e.talk;
        } else if (line.startsWith("##FMS#")) {
            e.fms.append(f[3] + (f[5].endsWith('1') ? " Lst->Fzg" : " Fzg->Lst"));
            const int status = f[4].toInt();
            e.talk += status == 15 ? 1 : 0;
            e.status5 += status == 5 ? 1 : 0;
            e.status0 += status == 0 ? 1 : 0;
        } else if (line.startsWith("##ZVEI#")) {
            e.zvei.append(f[3]);
        } else if (line.startsWith("##POC#")) {
            e.pocsag.append(f[3] + ' ' + f[5]);
        }
    }
    return e;
}

/// The same keys from a list, oldest first.
QStringList keysOf(const ReceptionListModel& list) {
    QStringList keys;
    for (int row = list.rowCount() - 1; row >= 0; --row) {
        const QStringList cells = list.rowText(row).split('\t');
        switch (list.kind()) {
        case ReceptionKind::Fms:
            keys.append(cells[2] + ' ' + cells[5]);
            break;
        case ReceptionKind::Zvei:
            keys.append(cells[0]);
            break;
        case ReceptionKind::Pocsag:
            keys.append(cells[0] + ' ' + cells[4]);
            break;
        }
    }
    return keys;
}

QStringList reversed(QStringList list) {
    std::reverse(list.begin(), list.end());
    return list;
}

} // namespace

class ReplayTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void replayFillsGridsLogsAndAlertListsAndARestartShowsThemAgain();
    void pacedReplayRunsAtTheSpeedOfTheRecordingAndStopEndsIt();
    void unreadableRecordingIsReported();
    void connectionIndicatorFollowsTheTcpExport();
    void secondProgramOnTheSameFolderIsRefused();
    void recordingWithoutReplayIsAUsageError();

private:
    QString root() const { return m_dir->path(); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ReplayTest::replayFillsGridsLogsAndAlertListsAndARestartShowsThemAgain() {
    copyDemoHome(root());
    const Expected want = expectedOfDemo();
    QVERIFY(want.fms.size() > 3 && want.zvei.size() > 1 && want.pocsag.size() > 1);
    QVERIFY(want.talk >= 2 && want.status5 >= 1 && want.status0 >= 1);
    std::map<ReceptionKind, QStringList> shown;
    {
        WindowRig rig(root());
        rig.startUp();
        MainWindow& w = rig.window();
        QSignalSpy finished(&w.capture(), &CaptureController::replayFinished);
        int loudest = 0;
        QObject::connect(&rig.monitor(), &Monitor::levelsChanged, [&loudest](int, int peakLeft, int, int peakRight) {
            loudest = std::max({loudest, peakLeft, peakRight});
        });
        QVERIFY(w.capture().startReplay(testData("demo/demo.flac"), true));
        QCOMPARE(w.capture().mode(), CaptureController::Mode::Replay);
        QVERIFY(!w.bar()->startButton()->isEnabled());
        QVERIFY(finished.wait(kReplayWaitMs));
        QCOMPARE(w.capture().mode(), CaptureController::Mode::Idle);
        QVERIFY(w.bar()->startButton()->isEnabled());
        QVERIFY(loudest > 5000);

        ReceptionLists& lists = rig.state().lists;
        QCOMPARE(keysOf(lists.fms), want.fms);
        QCOMPARE(keysOf(lists.zvei), want.zvei);
        QCOMPARE(keysOf(lists.pocsag), want.pocsag);
        const DataFolder& folder = rig.state().folder;
        for (const ReceptionKind kind : kReceptionKinds) {
            shown[kind] = rowsOf(lists.list(kind));
            // The log holds the same rows, oldest first.
            QCOMPARE(readLines(todaysLog(folder, kind)), reversed(shown[kind]));
        }
        QCOMPARE(w.bar()->alertList(0)->alertModel().rowCount(), want.talk);
        QCOMPARE(w.bar()->alertList(1)->alertModel().rowCount(), want.status5);
        QCOMPARE(w.bar()->alertList(2)->alertModel().rowCount(), want.status0);
        // The names and colours of the data folder, the alarm's text, the
        // vehicle's new status.
        const int alarm = static_cast<int>(want.fms.size()) - 1 - static_cast<int>(want.fms.indexOf("62345678 Lst->Fzg"));
        QCOMPARE(lists.fms.rowText(alarm).section('\t', 0, 0), QStringLiteral("Florian Nord 1/44-1"));
        QCOMPARE(lists.fms.rowText(alarm).section('\t', 7), QStringLiteral("B3 BMA Schule"));
        QCOMPARE(rig.state().vehicles.at(1).Status, 4);
        const int call = static_cast<int>(want.zvei.size()) - 1 - static_cast<int>(want.zvei.indexOf("21345"));
        QCOMPARE(lists.zvei.rowText(call).section('\t', 1, 1),
                 QStringLiteral("FF Nord Vollalarm (Florian Nord 1/44-1) "));
        const QModelIndex name = w.listsTab()->grid(ReceptionKind::Zvei)->model()->index(call, 1);
        QCOMPARE(name.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 160));
        for (int i = 0; i < 3; ++i) {
            const bool any = w.bar()->alertList(i)->alertModel().rowCount() > 0;
            QCOMPARE(paintedColour(w.bar()->alertList(i)), std::optional<QColor>(any ? kGreen : QColor(224, 224, 224)));
        }
    }

    // Closed and started again: today's receptions come back, same order.
    WindowRig again(root());
    QVERIFY(again.startUp().filter("Logbuch").isEmpty());
    for (const ReceptionKind kind : kReceptionKinds) {
        QCOMPARE(rowsOf(again.state().lists.list(kind)), shown[kind]);
    }
}

void ReplayTest::pacedReplayRunsAtTheSpeedOfTheRecordingAndStopEndsIt() {
    enableAllDecoders(root());
    // Half a second of quiet, one status telegram, half a second of quiet.
    tolvana::test::Signal left = tolvana::test::silence(0.5);
    left.append(tolvana::test::FmsEncoder().telegram({"62345678", 3, 0, 1, 0}));
    left.append(tolvana::test::silence(0.5));
    const QString path = root() + "/one.wav";
    tolvana::test::writeRecording(path.toStdString(),
                                  tolvana::test::interleave(tolvana::test::toPcm(left), {}), 2, kSampleRate);
    const double seconds = left.seconds() + 1.0; // the closing second of silence

    WindowRig rig(root());
    rig.startUp();
    QSignalSpy finished(&rig.window().capture(), &CaptureController::replayFinished);
    QSignalSpy shown(&rig.monitor().view(), &GuiView::receptionShown);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.window().capture().startReplay(path, false));
    QVERIFY(finished.wait(kReplayWaitMs));
    // Paced by the sound card's clock: it cannot be quicker than the audio.
    QVERIFY2(clock.elapsed() >= static_cast<qint64>(seconds * 900),
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(rig.state().lists.fms.rowText(0).section('\t', 2, 3), QStringLiteral("62345678\t3"));

    // "stop" ends a replay at once.
    QVERIFY(rig.window().capture().startReplay(path, false));
    QVERIFY(rig.window().bar()->stopButton()->isEnabled());
    QTest::mouseClick(rig.window().bar()->stopButton(), Qt::LeftButton);
    QVERIFY(!rig.window().capture().replay().running());
    QCOMPARE(rig.window().capture().mode(), CaptureController::Mode::Idle);
    QVERIFY(rig.window().bar()->startButton()->isEnabled());
    QVERIFY(!rig.window().bar()->stopButton()->isEnabled());
}

void ReplayTest::unreadableRecordingIsReported() {
    WindowRig rig(root());
    rig.startUp();
    writeLines(root() + "/kaputt.wav", {"not a sound file"});
    const qsizetype before = rig.monitor().messages().history().size();
    QVERIFY(!rig.window().capture().startReplay(root() + "/kaputt.wav", true));
    QCOMPARE(rig.window().capture().mode(), CaptureController::Mode::Idle);
    const QStringList shown = rig.monitor().messages().history().mid(before);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains("Die Aufnahme kaputt.wav kann nicht gelesen werden"), qPrintable(shown[0]));
}

void ReplayTest::connectionIndicatorFollowsTheTcpExport() {
    // The port field takes nothing above 31000: a free port below it.
    QTcpServer receiver;
    quint16 port = static_cast<quint16>(20000 + QCoreApplication::applicationPid() % 10000);
    for (int tries = 0; !receiver.listen(QHostAddress::LocalHost, port) && tries < 500; ++tries) {
        port = static_cast<quint16>(20000 + (port - 20000 + 37) % 11000);
    }
    QVERIFY(receiver.isListening());
    WindowRig rig(root());
    rig.startUp();
    ConnectionIndicator* lamp = rig.window().bar()->connection();
    QCOMPARE(lamp->colour(), QColor(192, 192, 192));

    rig.window().tabs()->setCurrentIndex(MainWindow::SettingsTabIndex);
    rig.window().settingsTab()->selectPage(static_cast<int>(SettingsPage::Winsock));
    auto* check = rig.find<QCheckBox>("Check3");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    QTest::keyClicks(rig.find<QLineEdit>("Text3"), "127.0.0.1");
    auto* portField = rig.find<QLineEdit>("Text4");
    portField->selectAll();
    QTest::keyClicks(portField, QString::number(port));
    QTest::mouseClick(rig.window().settingsTab()->saveButton(), Qt::LeftButton);
    QCOMPARE(rig.state().settings.tcpExport, 1);
    QCOMPARE(rig.state().settings.tcpPort, static_cast<int>(port));

    QVERIFY(QTest::qWaitFor([&] { return lamp->stateText() == "7"; }, 10000));
    QCOMPARE(lamp->colour(), QColor(0, 255, 0));
    // The receiver goes away: closed, red, and tried again every second.
    QTcpSocket* accepted = receiver.nextPendingConnection();
    QVERIFY(accepted != nullptr);
    receiver.close();
    accepted->close();
    QVERIFY(QTest::qWaitFor([&] { return lamp->stateText() == "0"; }, 10000));
    QCOMPARE(lamp->colour(), QColor(255, 0, 0));
    // Back again: picked up by the next tick.
    QVERIFY(receiver.listen(QHostAddress::LocalHost, port));
    QVERIFY(QTest::qWaitFor([&] { return lamp->stateText() == "7"; }, 10000));
    QCOMPARE(lamp->colour(), QColor(0, 255, 0));

    // Switched off: the connection closes and the supervision stops.
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    QTest::mouseClick(rig.window().settingsTab()->saveButton(), Qt::LeftButton);
    QVERIFY(!rig.monitor().tcp().supervising());
    QCOMPARE(rig.monitor().tcp().state(), 0);
}

void ReplayTest::secondProgramOnTheSameFolderIsRefused() {
    const std::optional<DataFolder> folder = DataFolder::open(root());
    QVERIFY(folder);
    const std::unique_ptr<DataFolderLock> held = DataFolderLock::acquire(*folder);
    QVERIFY(held != nullptr);

    QProcess second;
    second.setProgram(QStringLiteral(TOLVANA_GUI_BINARY));
    second.setArguments({"--home", root()});
    second.start();
    QVERIFY(second.waitForStarted());
    QString said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += QString::fromUtf8(second.readAllStandardError());
            return second.state() == QProcess::NotRunning || said.contains(QStringLiteral("Server läuft schon !"));
        },
        20000));
    QVERIFY2(said.contains(QStringLiteral("Server läuft schon !")), qPrintable(said));
    // It stops at its message (the box waits for the user): nothing of the
    // folder was touched, and the first program still holds it.
    second.kill();
    second.waitForFinished();
    QVERIFY(!QFile::exists(root() + "/Mon.ini"));
    DataFolderLock::Outcome outcome = DataFolderLock::Outcome::Acquired;
    QVERIFY(DataFolderLock::acquire(*folder, &outcome) == nullptr);
    QCOMPARE(outcome, DataFolderLock::Outcome::HeldByOther);
}

// "--replay-fast demo.flac" once opened an empty window: the file, given
// without --replay, was passed over in silence.
void ReplayTest::recordingWithoutReplayIsAUsageError() {
    const QList<QStringList> wrong{{"--replay-fast", "demo.flac"}, {"demo.flac"}, {"--replay-fast"}};
    for (const QStringList& arguments : wrong) {
        QProcess program;
        program.start(QStringLiteral(TOLVANA_GUI_BINARY), QStringList{"--home", root()} + arguments);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(program.readAllStandardError().contains("--replay FILE"), qPrintable(arguments.join(u' ')));
        QVERIFY(!QFile::exists(root() + "/tolvana.lock")); // it ended before taking the folder
    }
}

} // namespace tolvana::gui::test

QTEST_MAIN(tolvana::gui::test::ReplayTest)
#include "replay_test.moc"
