// tolvana-decode: the headless monitor. Reads a recording, standard input
// (raw PCM, e.g. from an SDR pipeline) or a sound card, runs the same
// dispatcher and decoders as the GUI, and prints every reception on standard
// output (see reception_printer.h for the contract).
//
// Clocks: a file runs on its recording clock (--start, default now);
// standard input and a sound card are stamped with the wall clock when each
// buffer arrives, unless --start puts standard input on the recording clock
// (for piping recordings).
#include "capture/audio_source.h"
#include "capture/dispatcher.h"
#include "capture/live_capture.h"
#include "capture/recording.h"
#include "cli/headless_view.h"
#include "cli/mqtt_setup.h"
#include "cli/reception_printer.h"
#include "cli/stop_signals.h"
#include "export/local_message_export.h"
#include "export/nmcli_dial_up.h"
#include "export/reception_action.h"
#include "export/status_page_upload.h"
#include "export/tcp_export.h"
#include "export/upload_log.h"
#include "handoff/monitor_state.h"
#include "handoff/reception_handoff.h"
#include "records/data_folder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace tolvana;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 2;
constexpr int kExitDataFolder = 1;
constexpr int kExitDeviceLost = 3;

// How long a recording waits for the TCP receiver before decoding starts,
// and how long the end waits for the last lines to leave.
constexpr int kTcpConnectWaitMs = 3000;
constexpr int kTcpFlushWaitMs = 10000;
// The last upload of the status page ends within its own timeouts (60 s at
// most); this only bounds the wait should it not.
constexpr int kUploadWaitMs = 75000;
// How long the end waits for a slow reader of standard output.
constexpr std::chrono::milliseconds kOutputFlushWait{2000};
// A file gives the event loop (TCP reconnects) a turn this often; live input
// after every buffer and while it waits.
constexpr std::uint64_t kEventBuffers = 8;

void fail(const QString& message) {
    std::fprintf(stderr, "tolvana-decode: %s\n", message.toLocal8Bit().constData());
}

bool parseDecoders(const QString& text, DecoderSwitches& switches, QString& error) {
    DecoderSwitches s;
    const QStringList names = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (names.isEmpty()) {
        error = QStringLiteral("--decoders needs at least one of fms, zvei, pocsag");
        return false;
    }
    for (const QString& raw : names) {
        const QString name = raw.trimmed().toLower();
        if (name == QLatin1String("fms")) {
            s.fms = {true, true};
        } else if (name == QLatin1String("zvei")) {
            s.zvei = {true, true};
        } else if (name == QLatin1String("pocsag")) {
            s.pocsag = {true, true};
        } else {
            error = QStringLiteral("unknown decoder \"%1\" (known: fms, zvei, pocsag)").arg(raw);
            return false;
        }
    }
    switches = s;
    return true;
}

/// Standard input, or a named pipe or device given by path: sound that
/// arrives over time rather than a file that is there whole.
bool isStream(const QString& path) {
    if (path == QLatin1String("-")) {
        return true;
    }
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

/// `--list-devices`: "index TAB description", the default marked.
int listDevices() {
    const QStringList names = LiveCapture::inputDevices();
    if (names.isEmpty()) {
        fail(captureMessage(CaptureProblem::NoDevice).text);
        return kExitInput;
    }
    const int fallback = LiveCapture::defaultDeviceIndex();
    for (qsizetype i = 0; i < names.size(); ++i) {
        std::printf("%lld\t%s%s\n", static_cast<long long>(i), names[i].toUtf8().constData(),
                    i == fallback ? "\t(default)" : "");
    }
    return kExitOk;
}

/// The minute timer of the monitor: alert ages, the status page and its
/// upload, on the clock of the receptions.
class MinuteTimer {
public:
    using Duty = std::function<void(TimePoint)>;
    MinuteTimer(Duty duty, TimePoint start)
        : m_duty(std::move(duty)), m_next(start + std::chrono::minutes(1)) {}
    void runUpTo(TimePoint now) {
        while (now >= m_next) {
            m_duty(m_next);
            m_next += std::chrono::minutes(1);
        }
    }
    /// The tick that would come next writes what the last receptions changed.
    void last() { m_duty(m_next); }
    /// On the wall clock: the tick is now.
    void lastAt(TimePoint now) { m_duty(now); }

private:
    Duty m_duty;
    TimePoint m_next;
};

/// A file or standard input to its end, or until a stop signal.
void decodeSource(AudioSource& source, Dispatcher& dispatcher, MinuteTimer& minutes,
                  const StopSignals& stopSignals, TimePoint start, bool stream, bool wallClock,
                  int threads) {
    DecodeOptions options;
    options.clock = wallClock ? BufferClock::Arrival : BufferClock::Recording;
    options.start = start;
    options.stream = stream;
    options.threads = threads;
    options.stop = &stopSignals.requested();
    // The hand-off, the timer and the events stay on this thread, between
    // the buffers, in the same order on one thread or two.
    options.afterBuffer = [&](const RecordingProgress& progress) {
        minutes.runUpTo(progress.time);
        if (stream || progress.frames / kBlockFrames % kEventBuffers == 0) {
            QCoreApplication::processEvents();
        }
        return true;
    };
    // While live input pauses, the wall clock goes on: the page is written
    // when due and the TCP connection is looked after.
    options.whileWaiting = [&] {
        if (wallClock) {
            minutes.runUpTo(wallClockNow());
        }
        QCoreApplication::processEvents();
    };
    decodeInput(source, dispatcher, options);
}

/// A sound card until a stop signal, or until the device is lost.
int decodeSoundCard(const QString& deviceName, Dispatcher& dispatcher, MinuteTimer& minutes,
                    const StopSignals& stopSignals) {
    if (LiveCapture::inputDevices().isEmpty()) {
        fail(captureMessage(CaptureProblem::NoDevice).text);
        return kExitInput;
    }
    const int index = LiveCapture::findDevice(deviceName);
    if (index < 0) {
        fail(QStringLiteral(
                 "no capture device \"%1\" (or more than one matches); see --list-devices")
                 .arg(deviceName));
        return kExitInput;
    }
    LiveCapture capture(dispatcher);
    int exitCode = kExitOk;
    TimePoint last = wallClockNow();
    QObject::connect(&capture, &LiveCapture::problem,
                     [&](CaptureProblem problem, const QString& detail) {
                         fail(captureMessage(problem, detail).text);
                         if (problem == CaptureProblem::DeviceLost) {
                             exitCode = kExitDeviceLost;
                             QCoreApplication::quit();
                         }
                     });
    QObject::connect(&capture, &LiveCapture::bufferDispatched,
                     [&](const LevelMeters&, TimePoint time) {
                         last = time;
                         minutes.runUpTo(time);
                     });
    if (!capture.start(index)) {
        return kExitInput;
    }
    fail(QStringLiteral("capturing from \"%1\" (device %2); SIGINT or SIGTERM ends")
             .arg(capture.deviceName())
             .arg(index));
    QSocketNotifier stop(stopSignals.notifier(), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    if (!stopSignals.requested().load()) {
        QCoreApplication::exec();
    }
    capture.stop(); // takes what the device still holds
    dispatchTail(dispatcher, last);
    return exitCode;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvana-decode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVANA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decodes FMS, ZVEI and POCSAG from a recording, standard input or a sound card and prints "
        "one line per reception: L or R, a TAB, the export line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("Sound file (WAV, FLAC, OGG, ...), or - for standard input "
                       "(none with --device)."));
    const QCommandLineOption homeOpt(QStringLiteral("home"), QStringLiteral("Data folder."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption decodersOpt(
        QStringLiteral("decoders"),
        QStringLiteral("Decoders to run on each channel (default: fms,zvei,pocsag)."),
        QStringLiteral("LIST"), QStringLiteral("fms,zvei,pocsag"));
    const QCommandLineOption leftOpt(QStringLiteral("left-only"),
                                     QStringLiteral("Decode the left channel only."));
    const QCommandLineOption rightOpt(QStringLiteral("right-only"),
                                      QStringLiteral("Decode the right channel only."));
    const QCommandLineOption rawOpt(
        QStringLiteral("raw"), QStringLiteral("Input is raw signed 16-bit little-endian PCM."));
    const QCommandLineOption rateOpt(QStringLiteral("rate"),
                                     QStringLiteral("Sample rate of raw input (default 22050)."),
                                     QStringLiteral("HZ"), QStringLiteral("22050"));
    const QCommandLineOption channelsOpt(
        QStringLiteral("channels"), QStringLiteral("Channels of raw input, 1 or 2 (default 2)."),
        QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption startOpt(
        QStringLiteral("start"),
        QStringLiteral("Local time of the recording's first sample, \"yyyy-MM-dd HH:mm:ss\" "
                       "(default: now). Standard input runs on the wall clock unless given."),
        QStringLiteral("TIME"));
    const QCommandLineOption jsonOpt(QStringLiteral("json"),
                                     QStringLiteral("Print one JSON object per reception."));
    const QCommandLineOption threadsOpt(
        QStringLiteral("threads"),
        QStringLiteral("Decode the two channels on 1 or 2 threads "
                       "(default: 2 where the machine has two cores)."),
        QStringLiteral("N"));
    const QCommandLineOption deviceOpt(
        QStringLiteral("device"),
        QStringLiteral("Decode a sound card: \"default\", its number or its name "
                       "(see --list-devices), until SIGINT or SIGTERM."),
        QStringLiteral("NAME"));
    const QCommandLineOption listDevicesOpt(QStringLiteral("list-devices"),
                                            QStringLiteral("List the capture devices and end."));
    const QCommandLineOption stationOpt(
        QStringLiteral("station"),
        QStringLiteral(
            "Station name in the MQTT topics (default: mqtt.ini's, else the host name)."),
        QStringLiteral("NAME"));
    parser.addOptions({homeOpt, decodersOpt, leftOpt, rightOpt, rawOpt, rateOpt, channelsOpt,
                       startOpt, jsonOpt, threadsOpt, deviceOpt, listDevicesOpt, stationOpt});
    parser.process(app);

    if (parser.isSet(listDevicesOpt)) {
        return listDevices();
    }

    const bool fromDevice = parser.isSet(deviceOpt);
    const QStringList positional = parser.positionalArguments();
    if (fromDevice && !positional.isEmpty()) {
        fail(QStringLiteral("--device takes no input file"));
        return kExitUsage;
    }
    if (!fromDevice && positional.size() != 1) {
        fail(QStringLiteral("expected exactly one input (a file, or - for standard input) or "
                            "--device; see --help"));
        return kExitUsage;
    }
    if (fromDevice && (parser.isSet(startOpt) || parser.isSet(rawOpt))) {
        fail(QStringLiteral("--start and --raw apply to recordings, not to --device"));
        return kExitUsage;
    }

    DecoderSwitches switches;
    QString error;
    if (!parseDecoders(parser.value(decodersOpt), switches, error)) {
        fail(error);
        return kExitUsage;
    }
    if (parser.isSet(leftOpt) && parser.isSet(rightOpt)) {
        fail(QStringLiteral("--left-only and --right-only exclude each other"));
        return kExitUsage;
    }
    for (std::size_t side = 0; side < 2; ++side) {
        const bool off =
            (side == 1 && parser.isSet(leftOpt)) || (side == 0 && parser.isSet(rightOpt));
        if (off) {
            switches.fms[side] = switches.zvei[side] = switches.pocsag[side] = false;
        }
    }

    int threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    if (parser.isSet(threadsOpt)) {
        bool ok = false;
        threads = parser.value(threadsOpt).toInt(&ok);
        if (!ok || threads < 1 || threads > 2) {
            fail(QStringLiteral("--threads takes 1 or 2"));
            return kExitUsage;
        }
    }

    RawFormat raw;
    const bool isRaw = parser.isSet(rawOpt);
    if (isRaw) {
        bool ok1 = false;
        bool ok2 = false;
        raw.rate = parser.value(rateOpt).toInt(&ok1);
        raw.channels = parser.value(channelsOpt).toInt(&ok2);
        if (!ok1 || !ok2) {
            fail(QStringLiteral("--rate and --channels take whole numbers"));
            return kExitUsage;
        }
    }

    TimePoint start = wallClockNow();
    if (parser.isSet(startOpt)) {
        const QDateTime when =
            QDateTime::fromString(parser.value(startOpt), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid()) {
            fail(QStringLiteral("--start expects local time as \"yyyy-MM-dd HH:mm:ss\", got \"%1\"")
                     .arg(parser.value(startOpt)));
            return kExitUsage;
        }
        start = TimePoint(std::chrono::milliseconds(when.toMSecsSinceEpoch()));
    }
    // Live input runs on the wall clock; --start keeps a piped recording on its own.
    const QString input = positional.value(0);
    const bool stream = !fromDevice && isStream(input);
    const bool wallClock = fromDevice || (stream && !parser.isSet(startOpt));

    const QString root = DataFolder::locate(parser.value(homeOpt));
    QString failedFolder;
    std::optional<DataFolder> folder = DataFolder::open(root, &failedFolder);
    if (!folder) {
        fail(DataFolder::creationError(failedFolder));
        return kExitDataFolder;
    }

    std::unique_ptr<AudioSource> source;
    if (!fromDevice) {
        std::string openError;
        source = AudioSource::open(input.toStdString(), isRaw ? &raw : nullptr, openError);
        if (!source) {
            fail(QString::fromStdString(openError));
            return kExitInput;
        }
    }

    MonitorState state(*folder);
    const FileResult loaded =
        state.load(QDateTime::fromMSecsSinceEpoch(start.time_since_epoch().count()));
    for (const QString& warning : loaded.warnings()) {
        fail(warning);
    }
    if (!loaded.ok()) {
        fail(loaded.error());
    }

    // From here on a signal ends the input cleanly, and a reader of standard
    // output that goes away cannot end the program.
    const StopSignals stopSignals;
    OutputWriter out(STDOUT_FILENO);
    ReceptionPrinter printer(out, parser.isSet(jsonOpt));
    HeadlessView view(printer);
    ProcessActionStarter actions;
    TcpExport tcp;
    LocalMessageExport localMessage(state.settings.targetWindowTitle);
    HandoffOutputs outputs{&actions, nullptr, &localMessage};
    if (state.settings.tcpExport == 1) {
        outputs.tcp = &tcp;
        state.settings.tcpServer =
            tcp.start(state.settings.tcpServer,
                      static_cast<quint16>(std::clamp(state.settings.tcpPort, 0, 65535)));
        // A recording is decoded in moments: wait for the receiver, or it
        // would miss everything. Live input does not wait (the sender would
        // be held up); the connection comes up while it is decoded.
        if (!wallClock && !tcp.waitForConnected(kTcpConnectWaitMs)) {
            fail(QStringLiteral("TCP export: no connection to %1:%2 after %3 s; decoding anyway, "
                                "reconnecting once a second")
                     .arg(tcp.server())
                     .arg(tcp.port())
                     .arg(kTcpConnectWaitMs / 1000));
        }
    }
    // MQTT export: mqtt.ini in the data folder switches it on.
    MqttSetup mqtt = startMqttExport(*folder, parser.value(stationOpt));
    if (mqtt.failed) {
        return kExitDataFolder;
    }
    outputs.receptions = mqtt.exporter.get();
    ReceptionHandoff handoff(state, view, outputs);
    Dispatcher dispatcher(handoff, switches);

    // The status page goes to the web server after each minute that wrote
    // it, on a worker thread; what happened is printed on standard error.
    UploadLog uploadLog;
    QObject::connect(&uploadLog, &UploadLog::entryAdded,
                     [](const QString& entry) { fail(QStringLiteral("upload: ") + entry); });
    NmcliDialUp dialUp;
    StatusPageUpload upload(uploadLog, &dialUp);
    MinuteTimer minutes(
        [&](TimePoint now) {
            upload.minuteDuty(state.settings, state.folder.root(), handoff.housekeeping(now));
        },
        start);

    int exitCode = kExitOk;
    if (fromDevice) {
        exitCode = decodeSoundCard(parser.value(deviceOpt), dispatcher, minutes, stopSignals);
    } else {
        decodeSource(*source, dispatcher, minutes, stopSignals, start, stream, wallClock, threads);
    }
    // The tick that would come next writes what the last receptions changed,
    // and the server gets that page before the program ends.
    upload.waitForFinished(kUploadWaitMs);
    if (wallClock) {
        minutes.lastAt(wallClockNow());
    } else {
        minutes.last();
    }
    if (!upload.waitForFinished(kUploadWaitMs)) {
        fail(QStringLiteral("upload: the last transfer did not end in time and was abandoned"));
    }

    out.finish(kOutputFlushWait);
    if (state.settings.tcpExport == 1 && !tcp.flush(kTcpFlushWaitMs)) {
        fail(QStringLiteral("TCP export: not every line could be sent"));
    }
    tcp.stop();
    stopMqttExport(mqtt);

    if (source && !source->readError().empty()) {
        fail(QStringLiteral("read error in %1: %2")
                 .arg(input, QString::fromStdString(source->readError())));
        return kExitInput;
    }
    return exitCode;
}
