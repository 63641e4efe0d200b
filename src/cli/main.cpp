// tolvana-decode: the headless monitor. Reads a recording, standard input or
// raw PCM, runs the same dispatcher and decoders as the GUI, and prints every
// reception on standard output (see reception_printer.h for the contract).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "capture/audio_source.h"
#include "capture/dispatcher.h"
#include "capture/recording.h"
#include "cli/headless_view.h"
#include "cli/mqtt_setup.h"
#include "cli/reception_printer.h"
#include "export/local_message_export.h"
#include "export/nmcli_dial_up.h"
#include "export/reception_action.h"
#include "export/status_page_upload.h"
#include "export/tcp_export.h"
#include "export/upload_log.h"
#include "handoff/monitor_state.h"
#include "handoff/reception_handoff.h"
#include "records/data_folder.h"

namespace {

using namespace tolvana;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 2;
constexpr int kExitDataFolder = 1;

// How long a recording waits for the TCP receiver before decoding starts,
// and how long the end waits for the last lines to leave.
constexpr int kTcpConnectWaitMs = 3000;
constexpr int kTcpFlushWaitMs = 10000;
// The last upload of the status page ends within its own timeouts (60 s at
// most); this only bounds the wait should it not.
constexpr int kUploadWaitMs = 75000;
// The wall-clock side (TCP reconnects) gets the event loop this often.
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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvana-decode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVANA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decodes FMS, ZVEI and POCSAG from a recording (or standard input) and prints one line "
        "per reception: L or R, a TAB, the export line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Sound file (WAV, FLAC, OGG, ...), or - for standard input."));
    const QCommandLineOption homeOpt(QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR"));
    const QCommandLineOption decodersOpt(QStringLiteral("decoders"),
                                         QStringLiteral("Decoders to run on each channel (default: fms,zvei,pocsag)."),
                                         QStringLiteral("LIST"), QStringLiteral("fms,zvei,pocsag"));
    const QCommandLineOption leftOpt(QStringLiteral("left-only"), QStringLiteral("Decode the left channel only."));
    const QCommandLineOption rightOpt(QStringLiteral("right-only"), QStringLiteral("Decode the right channel only."));
    const QCommandLineOption rawOpt(QStringLiteral("raw"), QStringLiteral("Input is raw signed 16-bit little-endian PCM."));
    const QCommandLineOption rateOpt(QStringLiteral("rate"), QStringLiteral("Sample rate of raw input (default 22050)."),
                                     QStringLiteral("HZ"), QStringLiteral("22050"));
    const QCommandLineOption channelsOpt(QStringLiteral("channels"),
                                         QStringLiteral("Channels of raw input, 1 or 2 (default 2)."),
                                         QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption startOpt(QStringLiteral("start"),
                                      QStringLiteral("Local time of the recording's first sample, \"yyyy-MM-dd HH:mm:ss\" (default: now)."),
                                      QStringLiteral("TIME"));
    const QCommandLineOption jsonOpt(QStringLiteral("json"), QStringLiteral("Print one JSON object per reception."));
    const QCommandLineOption threadsOpt(QStringLiteral("threads"),
                                        QStringLiteral("Decode the two channels on 1 or 2 threads "
                                                       "(default: 2 where the machine has two cores)."),
                                        QStringLiteral("N"));
    parser.addOptions({homeOpt, decodersOpt, leftOpt, rightOpt, rawOpt, rateOpt, channelsOpt, startOpt, jsonOpt,
                       threadsOpt});
    const QCommandLineOption stationOpt(QStringLiteral("station"),
                                        QStringLiteral("Station name in the MQTT topics (default: mqtt.ini's, else the host name)."),
                                        QStringLiteral("NAME"));
    parser.addOption(stationOpt);
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        fail(QStringLiteral("expected exactly one input (a file, or - for standard input); see --help"));
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
        const bool off = (side == 1 && parser.isSet(leftOpt)) || (side == 0 && parser.isSet(rightOpt));
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

    TimePoint start = std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    if (parser.isSet(startOpt)) {
        const QDateTime when = QDateTime::fromString(parser.value(startOpt), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid()) {
            fail(QStringLiteral("--start expects local time as \"yyyy-MM-dd HH:mm:ss\", got \"%1\"").arg(parser.value(startOpt)));
            return kExitUsage;
        }
        start = TimePoint(std::chrono::milliseconds(when.toMSecsSinceEpoch()));
    }

    const QString root = DataFolder::locate(parser.value(homeOpt));
    QString failedFolder;
    std::optional<DataFolder> folder = DataFolder::open(root, &failedFolder);
    if (!folder) {
        fail(DataFolder::creationError(failedFolder));
        return kExitDataFolder;
    }

    std::string openError;
    const std::string path = positional.front().toStdString();
    auto source = AudioSource::open(path, isRaw ? &raw : nullptr, openError);
    if (!source) {
        fail(QString::fromStdString(openError));
        return kExitInput;
    }

    MonitorState state(*folder);
    const FileResult loaded = state.load(QDateTime::fromMSecsSinceEpoch(start.time_since_epoch().count()));
    for (const QString& warning : loaded.warnings()) {
        fail(warning);
    }
    if (!loaded.ok()) {
        fail(loaded.error());
    }

    ReceptionPrinter printer(stdout, parser.isSet(jsonOpt));
    HeadlessView view(printer);
    ProcessActionStarter actions;
    TcpExport tcp;
    LocalMessageExport localMessage(state.settings.targetWindowTitle);
    HandoffOutputs outputs{&actions, nullptr, &localMessage};
    if (state.settings.tcpExport == 1) {
        outputs.tcp = &tcp;
        state.settings.tcpServer = tcp.start(state.settings.tcpServer,
                                             static_cast<quint16>(std::clamp(state.settings.tcpPort, 0, 65535)));
        // A recording is decoded in moments: wait for the receiver, or it
        // would miss everything.
        if (!tcp.waitForConnected(kTcpConnectWaitMs)) {
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

    // The minute timer runs on the recording clock, like everything that
    // belongs to the receptions. The two channels decode on two threads
    // where the machine has them; the hand-off, the timer and the events
    // stay on this thread, between the buffers, in the same order.
    TimePoint nextMinute = start + std::chrono::minutes(1);
    decodeRecording(
        *source, dispatcher, start,
        [&](const RecordingProgress& progress) {
            while (progress.time >= nextMinute) {
                upload.minuteDuty(state.settings, state.folder.root(), handoff.housekeeping(nextMinute));
                nextMinute += std::chrono::minutes(1);
            }
            if (progress.frames / kBlockFrames % kEventBuffers == 0) {
                QCoreApplication::processEvents();
            }
            return true;
        },
        threads);
    // The tick that would come next writes what the last receptions changed,
    // and the server gets that page before the program ends.
    upload.waitForFinished(kUploadWaitMs);
    upload.minuteDuty(state.settings, state.folder.root(), handoff.housekeeping(nextMinute));
    if (!upload.waitForFinished(kUploadWaitMs)) {
        fail(QStringLiteral("upload: the last transfer did not end in time and was abandoned"));
    }
    std::fflush(stdout);
    if (state.settings.tcpExport == 1 && !tcp.flush(kTcpFlushWaitMs)) {
        fail(QStringLiteral("TCP export: not every line could be sent"));
    }
    tcp.stop();
    stopMqttExport(mqtt);

    if (!source->readError().empty()) {
        fail(QStringLiteral("read error in %1: %2").arg(positional.front(), QString::fromStdString(source->readError())));
        return kExitInput;
    }
    return kExitOk;
}
