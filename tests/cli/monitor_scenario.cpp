#include "cli/monitor_scenario.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {

QByteArray windows1252(const QString& text) {
    QStringEncoder encode("windows-1252");
    QByteArray bytes = encode(text);
    EXPECT_FALSE(encode.hasError()) << text.toStdString();
    return bytes;
}

QString fromWindows1252(const QByteArray& bytes) {
    QStringDecoder decode("windows-1252");
    return decode(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

namespace {

QByteArray crlfLines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += windows1252(line) + "\r\n";
    }
    return bytes;
}

constexpr int kBoardFields = 5 * 10 * 30; // board size 1: 5 columns, 10 rows, 30 pages

} // namespace

void writeDataFolder(const QString& home, const MonitorOptions& o) {
    QStringList ini{QStringLiteral("0")};
    for (const std::uint32_t colour : kStatusColours) {
        ini << QString::number(colour);
    }
    ini << QStringLiteral("0") << o.actionProgram << o.ftpHost << o.ftpLogin << o.ftpPassword << o.ftpDirectory
        << QStringLiteral("0") << QString::number(o.htmlExport ? 1 : 0) << o.tcpServer
        << QString::number(o.tcpPort) << QString::number(o.tcpExport ? 1 : 0)
        << QString::number(o.messageExport ? 1 : 0) << o.targetWindowTitle << QStringLiteral("1");
    for (int i = 0; i < 6; ++i) {
        ini << QStringLiteral("1");
    }
    writeFile(home + "/Mon.ini", crlfLines(ini));

    // Fzg.txt holds one line per field of all 30 pages.
    QStringList vehicles{QStringLiteral("RTW 1\tWache Nord\t62345678"),
                         QStringLiteral("LF 20\tH\u00F6henweg\t61234567")};
    while (vehicles.size() < kBoardFields) {
        vehicles << QStringLiteral("\t\t");
    }
    writeFile(home + "/Fzg.txt", crlfLines(vehicles));
    writeFile(home + "/ZVEI.txt", crlfLines({QStringLiteral("12345\tFF M\u00FCnchen Nord\t255"),
                                             QStringLiteral("1234567\tWehrf\u00FChrer\t65280")}));
    writeFile(home + "/ZVEI_FMS_Zuord.txt", crlfLines({QStringLiteral("62345678\t23456\tRTW 1")}));
    writeFile(home + "/filter_zvei.txt", crlfLines({QStringLiteral("991\t1")}));
    // The pagers of one unit are not wanted here.
    writeFile(home + "/filter_poc.txt", crlfLines({QStringLiteral("1999\t1")}));
}

std::string Transmission::printed() const {
    return std::string(1, sideLetter(side)) + "\t" + exportLine.toStdString();
}

QDateTime parseRowTime(const QString& cell) {
    return QDateTime::fromString(cell, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

namespace {

constexpr ChannelSide kL = ChannelSide::Left;
constexpr ChannelSide kR = ChannelSide::Right;

// Quiet time between two transmissions, on either channel: longer than any
// hand-on delay (a 512 bit/s pager transmission is noticed as over about a
// second after its end), so the order of hand-on is the order of sending.
constexpr double kGapSeconds = 2.5;

class Builder {
public:
    Transmission& add(ChannelSide side, Kind kind, const Signal& signal) {
        const std::size_t start = std::max(m_left.samples.size(), m_right.samples.size()) +
                                  static_cast<std::size_t>(kGapSeconds * kSampleRate);
        Signal& on = side == kL ? m_left : m_right;
        on.samples.resize(start, 0.0);
        on.append(signal);
        Transmission t;
        t.side = side;
        t.kind = kind;
        t.endSeconds = on.seconds();
        m_scenario.transmissions.push_back(t);
        return m_scenario.transmissions.back();
    }

    Transmission& fms(ChannelSide side, const FmsFields& f, const QString& rufname,
                      const QString& eigenschaft, const std::string& alarmText = {}) {
        FmsEncoder encoder;
        Transmission& t = add(side, Kind::Fms, alarmText.empty() ? encoder.telegram(f)
                                                                 : encoder.digitalAlarm(f, alarmText));
        const QString kennung = QString::fromStdString(f.kennung);
        static const char16_t* const kLetters[] = {u"0", u"A", u"E", u"C", u"F", u"H", u"J", u"L",
                                                   u"P", u"U", u"c", u"d", u"h", u"o", u"u", u"Quittung"};
        const QString shown = f.richtung == 0 ? QString::number(f.status)
                                              : QString::fromUtf16(kLetters[f.status]);
        t.row = QStringList{rufname, eigenschaft, kennung, shown, QString::number(f.tki),
                            f.richtung == 0 ? QStringLiteral("Fzg->Lst") : QStringLiteral("Lst->Fzg"),
                            QString(), QString::fromStdString(alarmText)};
        t.timeColumn = 6;
        t.exportLine = QStringLiteral("##FMS#%1#%2#%3%4#+").arg(kennung).arg(f.status).arg(f.tki).arg(f.richtung);
        t.json = QJsonObject{{"kind", "fms"},
                             {"kennung", kennung},
                             {"status", f.status},
                             {"tki", f.tki},
                             {"richtung", f.richtung},
                             {"text", QString::fromStdString(alarmText)},
                             {"rufname", rufname == QStringLiteral("?") ? QString() : rufname},
                             {"line", t.exportLine}};
        return t;
    }

    Transmission& zvei(ChannelSide side, const QString& number, const QString& name) {
        Transmission& t = add(side, Kind::Zvei, ZveiEncoder().call(number.toStdString(), 0.0, 0.0));
        t.row = QStringList{number, name, QString()};
        t.timeColumn = 2;
        t.exportLine = QStringLiteral("##ZVEI#%1#%2#+").arg(number, name);
        t.action = QStringList{QStringLiteral("ZVEI"), number};
        t.json = QJsonObject{{"kind", "zvei"}, {"number", number}, {"name", name}, {"line", t.exportLine}};
        return t;
    }

    Transmission& pocsag(ChannelSide side, std::uint32_t ric, int function, const QString& text,
                         double bitRate, const QString& name) {
        PocsagCall call;
        call.ric = ric;
        call.function = function;
        call.content = germanSevenBit(text.toStdString());
        PocsagAir air;
        air.bitRate = bitRate;
        air.lowPassHz = bitRate;
        air.inverted = function % 2 == 1;
        Transmission& t = add(side, Kind::Pocsag, pocsagTransmission({call}, air));
        const QString number = QString::number(ric);
        t.row = QStringList{number, QString::number(function), name, QString(), text};
        t.timeColumn = 3;
        t.exportLine = QStringLiteral("##POC#%1#%2#%3#+").arg(number).arg(function).arg(text);
        t.action = QStringList{QStringLiteral("POC"), number, QString::number(function), text};
        t.json = QJsonObject{{"kind", "pocsag"},     {"ric", static_cast<qint64>(ric)},
                             {"function", function}, {"text", text},
                             {"name", name},         {"line", t.exportLine}};
        return t;
    }

    Scenario finish() {
        const std::size_t end = std::max(m_left.samples.size(), m_right.samples.size()) +
                                static_cast<std::size_t>(1.0 * kSampleRate);
        m_left.samples.resize(end, 0.0);
        m_right.samples.resize(end, 0.0);
        // A receiver's hiss over the whole recording.
        addNoise(m_left, 30.0, 71);
        addNoise(m_right, 30.0, 72);
        m_scenario.stereo = interleave(toPcm(m_left), toPcm(m_right));
        m_scenario.seconds = m_left.seconds();
        return m_scenario;
    }

private:
    Signal m_left;
    Signal m_right;
    Scenario m_scenario;
};

// An unknown vehicle is shown by what its identity says: organisation 8
// (ASB) and federal state 7 (Hessen), each padded to its fixed width.
QString asbHessen() {
    return QStringLiteral("ASB").leftJustified(32) + QLatin1Char(' ') + QStringLiteral("Hessen").leftJustified(16);
}

Scenario build() {
    Builder b;
    const QString rtw = QStringLiteral("RTW 1");
    const QString lf = QStringLiteral("LF 20");
    const QString wache = QStringLiteral("Wache Nord");
    const QString hoehenweg = QStringLiteral("H\u00F6henweg");
    const QString ffMuenchen = QStringLiteral("FF M\u00FCnchen Nord");

    // RTW 1 reports status 3, then on the other receiver status 4: both
    // move it on the board; the status file ends with the second.
    Transmission* t = &b.fms(kL, FmsFields{"62345678", 3, 0, 2, 0}, rtw, wache);
    t->action = QStringList{QStringLiteral("FMS"), QStringLiteral("62345678")};
    t->vehicleIndex = 0;
    t->statusFileStart = QStringLiteral("3\t2\t");
    t = &b.fms(kR, FmsFields{"62345678", 4, 0, 1, 0}, rtw, wache);
    t->action = QStringList{QStringLiteral("FMS"), QStringLiteral("62345678")};
    t->vehicleIndex = 0;
    t->statusFileStart = QStringLiteral("4\t1\t");

    b.zvei(kL, QStringLiteral("12345"), ffMuenchen);
    b.pocsag(kR, 1654321, 0, QStringLiteral("Probealarm"), 2400.0, QString());
    b.pocsag(kL, 1234567, 3, QStringLiteral("Einsatz: Brand Wohnhaus, Hauptstra\u00DFe 12"), 1200.0,
             QStringLiteral("Wehrf\u00FChrer"));
    // The same call on the other receiver: each channel has its own window.
    b.zvei(kR, QStringLiteral("12345"), ffMuenchen);
    // The same page again on the same receiver, a few seconds later: within
    // the duplicate window, so it is dropped. The same pager with another
    // text (a second alarm) is news and is handed on.
    b.pocsag(kL, 1234567, 3, QStringLiteral("Einsatz: Brand Wohnhaus, Hauptstra\u00DFe 12"), 512.0,
             QStringLiteral("Wehrf\u00FChrer"))
        .handedOn = false;
    b.pocsag(kL, 1234567, 0, QStringLiteral("Wiederholung"), 512.0, QStringLiteral("Wehrf\u00FChrer"));

    // An unknown vehicle: shown and exported, no action, no status file.
    b.fms(kL, FmsFields{"87654321", 2, 0, 0, 0}, QStringLiteral("?"), asbHessen());
    // Status 5 (Sprechwunsch) of a known vehicle: action, but its board
    // status stays.
    b.fms(kR, FmsFields{"61234567", 5, 0, 0, 0}, lf, hoehenweg).action =
        QStringList{QStringLiteral("FMS"), QStringLiteral("61234567")};
    // A call the negative filter list ("991") drops.
    b.zvei(kL, QStringLiteral("99123"), QString()).handedOn = false;
    // An order from the control room to RTW 1: shown by letter, no action,
    // the vehicle's status stays.
    b.fms(kR, FmsFields{"62345678", 3, 1, 0, 0}, rtw, wache);
    b.pocsag(kR, 1122334, 1, QStringLiteral("\u00DCbung <\u00D6l> & \"Spur\""), 1200.0, QString());
    // A pager of the unit that filter_poc.txt drops.
    b.pocsag(kL, 1999001, 2, QStringLiteral("Gefiltert"), 1200.0, QString()).handedOn = false;
    // A digital alarm to LF 20 with its text.
    b.fms(kL, FmsFields{"61234567", 10, 1, 0, 0}, lf, hoehenweg, "B3 BMA");
    // A call assigned to RTW 1 in ZVEI_FMS_Zuord.txt, without a name of its own.
    b.zvei(kR, QStringLiteral("23456"), QStringLiteral(" (RTW 1) "));
    return b.finish();
}

} // namespace

const Scenario& monitorScenario() {
    static const Scenario s = build();
    return s;
}

} // namespace tolvana::test
