// tolvana-decode: the headless monitor. Reads a recording, standard input or
// raw PCM, runs the same dispatcher and decoders as the GUI, and prints every
// reception on standard output (see reception_printer.h for the contract).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cstdio>
#include <string>

#include "capture/audio_source.h"
#include "capture/dispatcher.h"
#include "capture/recording.h"
#include "cli/reception_printer.h"

namespace {

using namespace tolvana;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 2;

void fail(const QString& message) {
    std::fprintf(stderr, "tolvana-decode: %s\n", message.toLocal8Bit().constData());
}

/// Prints what the decoders deliver.
class PrintingSink final : public ReceptionSink {
public:
    explicit PrintingSink(ReceptionPrinter& printer) : m_printer(printer) {}
    void fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) override {
        if (r.plausible) {
            m_printer.fms(side, r.telegram, r.followUpText, {}, time);
        }
    }
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override {
        m_printer.tone(side, tone, time);
    }
    void zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) override {
        m_printer.zvei(side, s.number, {}, time);
    }
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override {
        m_printer.pocsag(side, page, {}, time);
    }

private:
    ReceptionPrinter& m_printer;
};

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
    parser.addOptions({homeOpt, decodersOpt, leftOpt, rightOpt, rawOpt, rateOpt, channelsOpt, startOpt, jsonOpt});
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

    std::string openError;
    const std::string path = positional.front().toStdString();
    auto source = AudioSource::open(path, isRaw ? &raw : nullptr, openError);
    if (!source) {
        fail(QString::fromStdString(openError));
        return kExitInput;
    }

    ReceptionPrinter printer(stdout, parser.isSet(jsonOpt));
    PrintingSink sink(printer);
    Dispatcher dispatcher(sink, switches);
    decodeRecording(*source, dispatcher, start);
    std::fflush(stdout);

    if (!source->readError().empty()) {
        fail(QStringLiteral("read error in %1: %2").arg(positional.front(), QString::fromStdString(source->readError())));
        return kExitInput;
    }
    return kExitOk;
}
