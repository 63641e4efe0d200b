// The window on a real audio server: a private PulseAudio whose null sink
// plays what the "receivers" send and whose capture device "VirtualMic" the
// window lists. Chosen on the "Soundkarte" page, saved, "Start": what is
// played must arrive in the grids as decoding the same file gives it. A
// device that goes away stops capture with a message. Skipped, with the
// reason, where pulseaudio cannot start.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "gui/alert_list_view.h"
#include "gui/capture_controller.h"
#include "gui/colours.h"
#include "gui/monitor_bar.h"
#include "gui/settings_pages.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/pulse_server.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"
#include "window_rig.h"

namespace tolvana::gui::test {

namespace {

tolvana::test::PulseServer* g_server = nullptr;
std::string g_serverError;

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

/// Two receivers: status telegrams (one a status 5) and a pager message on
/// the left, a five-tone call and a status 0 on the right.
QString writeReceivers(const QString& folder) {
    using namespace tolvana::test;
    Signal left = silence(0.5);
    left.append(FmsEncoder().telegram({"62345678", 3, 0, 1, 0}));
    left.append(silence(0.6));
    left.append(FmsEncoder().telegram({"62345679", 5, 0, 0, 0}));
    left.append(silence(0.6));
    PocsagCall call;
    call.ric = 1234567;
    call.function = 3;
    call.content = germanSevenBit("Probealarm Wache Nord");
    PocsagAir air;
    air.lowPassHz = air.bitRate;
    left.append(pocsagTransmission({call}, air));
    left.append(silence(1.0));
    Signal right = silence(1.2);
    right.append(ZveiEncoder().call("21345"));
    right.append(silence(0.6));
    right.append(FmsEncoder().telegram({"73456784", 0, 0, 0, 0}));
    right.append(silence(1.0));
    const QString path = folder + "/receivers.wav";
    writeRecording(path.toStdString(), interleave(toPcm(left), toPcm(right)), 2, kSampleRate);
    return path;
}

QStringList keys(const ReceptionListModel& list) {
    QStringList out;
    for (int row = list.rowCount() - 1; row >= 0; --row) {
        const QStringList cells = list.rowText(row).split('\t');
        out.append(list.kind() == ReceptionKind::Fms ? cells[2] + ' ' + cells[3] : cells[0]);
    }
    return out;
}

} // namespace

class LiveTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (g_server == nullptr) {
            QSKIP(qPrintable(QStringLiteral("no PulseAudio server: %1").arg(QString::fromStdString(g_serverError))));
        }
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void whatIsPlayedArrivesAsFromTheFile();
    void aDeviceThatGoesAwayStopsCaptureWithAMessage();

private:
    /// The window on its own folder, VirtualMic chosen and saved as a user does.
    std::unique_ptr<WindowRig> windowOnVirtualMic(const QString& root) {
        QDir().mkpath(root);
        enableAllDecoders(root);
        auto rig = std::make_unique<WindowRig>(root);
        rig->startUp();
        rig->window().tabs()->setCurrentIndex(MainWindow::SettingsTabIndex);
        rig->window().settingsTab()->selectPage(static_cast<int>(SettingsPage::Soundkarte));
        QComboBox* devices = rig->find<QComboBox>("InitDevices");
        const int index = devices->findText(QString::fromLatin1(tolvana::test::PulseServer::kCaptureDevice));
        if (index < 0) {
            qWarning("VirtualMic is not listed");
            return nullptr;
        }
        devices->setCurrentIndex(index);
        QTest::mouseClick(rig->window().settingsTab()->saveButton(), Qt::LeftButton);
        if (rig->state().settings.deviceIndex != index) {
            return nullptr;
        }
        return rig;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void LiveTest::whatIsPlayedArrivesAsFromTheFile() {
    const QString recording = writeReceivers(m_dir->path());

    // What the file gives, replayed into a window of its own.
    std::map<ReceptionKind, QStringList> fromFile;
    {
        QTemporaryDir other;
        enableAllDecoders(other.path());
        WindowRig rig(other.path());
        rig.startUp();
        QSignalSpy finished(&rig.window().capture(), &CaptureController::replayFinished);
        QVERIFY(rig.window().capture().startReplay(recording, true));
        QVERIFY(finished.wait(60000));
        for (const ReceptionKind kind : kReceptionKinds) {
            fromFile[kind] = keys(rig.state().lists.list(kind));
        }
    }
    QCOMPARE(fromFile[ReceptionKind::Fms], (QStringList{"62345678 3", "62345679 5", "73456784 0"}));
    QCOMPARE(fromFile[ReceptionKind::Zvei], QStringList{"21345"});
    QCOMPARE(fromFile[ReceptionKind::Pocsag], QStringList{"1234567"});

    std::unique_ptr<WindowRig> rig = windowOnVirtualMic(m_dir->path() + "/home");
    QVERIFY(rig != nullptr);
    MonitorBar* bar = rig->window().bar();
    QTest::mouseClick(bar->startButton(), Qt::LeftButton);
    QCOMPARE(rig->window().capture().mode(), CaptureController::Mode::Live);
    QVERIFY(!bar->startButton()->isEnabled());
    QCOMPARE(paintedColour(bar->stopButton()), std::optional<QColor>(kRed));
    QVERIFY(!rig->find<QComboBox>("InitDevices")->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return rig->window().capture().live().buffersDispatched() > 0; }, 10000));

    int loudest = 0;
    connect(&rig->window().capture().live(), &LiveCapture::bufferDispatched, this,
            [&loudest](const LevelMeters& m, TimePoint) { loudest = std::max({loudest, m.peakLeft, m.peakRight}); });
    const pid_t player = g_server->playInBackground(recording.toStdString());
    ReceptionLists& lists = rig->state().lists;
    const bool arrived = QTest::qWaitFor(
        [&] { return lists.fms.rowCount() >= 3 && lists.zvei.rowCount() >= 1 && lists.pocsag.rowCount() >= 1; },
        30000);
    tolvana::test::waitFor(player);
    QVERIFY2(arrived, qPrintable(QStringLiteral("%1 buffers").arg(rig->window().capture().live().buffersDispatched())));
    for (const ReceptionKind kind : kReceptionKinds) {
        QCOMPARE(keys(lists.list(kind)), fromFile[kind]);
    }
    QVERIFY(loudest > 5000);
    QCOMPARE(rig->window().bar()->alertList(1)->alertModel().rowCount(), 1); // status 5
    QCOMPARE(rig->window().bar()->alertList(2)->alertModel().rowCount(), 1); // status 0
    QCOMPARE(rig->window().capture().live().framesLost(), 0u);

    QTest::mouseClick(bar->stopButton(), Qt::LeftButton);
    QCOMPARE(rig->window().capture().mode(), CaptureController::Mode::Idle);
    QVERIFY(!rig->window().capture().live().isRunning());
    QVERIFY(bar->startButton()->isEnabled());
    QVERIFY(rig->find<QComboBox>("InitDevices")->isEnabled());
}

void LiveTest::aDeviceThatGoesAwayStopsCaptureWithAMessage() {
    std::unique_ptr<WindowRig> rig = windowOnVirtualMic(m_dir->path());
    QVERIFY(rig != nullptr);
    QTest::mouseClick(rig->window().bar()->startButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return rig->window().capture().live().buffersDispatched() > 0; }, 10000));
    const qsizetype before = rig->monitor().messages().history().size();
    QVERIFY(g_server->removeCaptureDevice());
    const bool stopped = QTest::qWaitFor([&] { return rig->window().capture().mode() == CaptureController::Mode::Idle; },
                                         20000);
    g_server->restoreCaptureDevice();
    QVERIFY(stopped);
    const QStringList shown = rig->monitor().messages().history().mid(before);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith("Achtung:") && shown[0].contains("VirtualMic"), qPrintable(shown[0]));
    QVERIFY(rig->window().bar()->startButton()->isEnabled());
}

} // namespace tolvana::gui::test

int main(int argc, char* argv[]) {
    // The server comes first: Qt asks the audio server it finds when the
    // device list is first filled.
    tolvana::test::PulseServer server;
    if (server.start()) {
        tolvana::gui::test::g_server = &server;
    } else {
        tolvana::gui::test::g_serverError = server.error();
    }
    QApplication app(argc, argv);
    tolvana::gui::test::LiveTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "live_test.moc"
