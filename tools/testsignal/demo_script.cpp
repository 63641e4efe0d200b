#include "demo_script.h"

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/zvei_encoder.h"

namespace tolvana::demo {

namespace {

using tolvana::test::ExpectedReception;
using tolvana::test::FmsEncoder;
using tolvana::test::FmsFields;
using tolvana::test::Signal;

struct Status {
    std::string kennung;
    int status;
    int tki = 0;
    int richtung = 0;
};
struct Alarm {
    std::string kennung;
    std::string text; ///< 7-bit characters
};
struct Tone {
    ToneCall tone;
};
struct FiveTone {
    std::string call;
};
struct Page {
    std::uint32_t ric;
    int function;
    std::string text; ///< UTF-8
    double bitRate;
    bool inverted = false;
};
using Item = std::variant<Status, Alarm, Tone, FiveTone, Page>;

constexpr double kAmplitude = 10000.0;

// The call tones as long as a transmitter keys them: 1750 Hz (tone I) and
// 2135 Hz (tone II).
Signal callTone(ToneCall tone) {
    Signal s = tolvana::test::silence(0.05);
    tolvana::test::ToneWriter writer(s, kAmplitude);
    if (tone == ToneCall::ToneI) {
        writer.tone(1750.0, 0.0795);
    } else {
        writer.tone(2135.0, 0.0775);
    }
    writer.silence(0.1);
    return s;
}

Signal render(const Item& item, ExpectedReception& e) {
    FmsEncoder::Options fmsOptions;
    fmsOptions.amplitude = kAmplitude;
    const FmsEncoder fms(fmsOptions);
    if (const auto* s = std::get_if<Status>(&item)) {
        e.line = "##FMS#" + s->kennung + "#" + std::to_string(s->status) + "#" + std::to_string(s->tki) +
                 std::to_string(s->richtung) + "#+";
        return fms.telegram(FmsFields{s->kennung, s->status, s->richtung, s->tki, 0});
    }
    if (const auto* a = std::get_if<Alarm>(&item)) {
        e.line = "##FMS#" + a->kennung + "#10#01#+";
        e.text = a->text;
        return fms.digitalAlarm(FmsFields{a->kennung, 10, 1, 0, 0}, a->text);
    }
    if (const auto* t = std::get_if<Tone>(&item)) {
        e.line = toneCallText(t->tone);
        return callTone(t->tone);
    }
    if (const auto* z = std::get_if<FiveTone>(&item)) {
        tolvana::test::ZveiEncoderOptions o;
        o.amplitude = kAmplitude;
        e.line = "##ZVEI#" + z->call + "##+";
        return tolvana::test::ZveiEncoder(o).call(z->call, 0.1, 0.3);
    }
    const auto& p = std::get<Page>(item);
    tolvana::test::PocsagCall call;
    call.ric = p.ric;
    call.function = p.function;
    call.kind = tolvana::test::PocsagCall::Kind::Alphanumeric;
    call.content = tolvana::test::germanSevenBit(p.text);
    tolvana::test::PocsagAir air;
    air.bitRate = p.bitRate;
    air.amplitude = kAmplitude;
    air.inverted = p.inverted;
    air.lowPassHz = p.bitRate;
    e.line = "##POC#" + std::to_string(p.ric) + "#" + std::to_string(p.function) + "#" + p.text + "#+";
    e.text = p.text;
    Signal s = tolvana::test::silence(0.05);
    s.append(tolvana::test::pocsagTransmission({call}, air));
    s.append(tolvana::test::silence(0.2));
    return s;
}

// One channel: each item from its start time on (or straight after the one
// before it, should that run longer).
Signal channel(ChannelSide side, const std::vector<std::pair<double, Item>>& script,
               std::vector<ExpectedReception>& expected) {
    Signal out;
    for (const auto& [start, item] : script) {
        if (start > out.seconds()) {
            out.append(tolvana::test::silence(start - out.seconds()));
        }
        ExpectedReception e;
        e.side = side;
        out.append(render(item, e));
        e.endSeconds = out.seconds();
        expected.push_back(e);
    }
    out.append(tolvana::test::silence(1.0));
    return out;
}

} // namespace

tolvana::test::Traffic makeDemoTraffic() {
    // Left: a fire brigade's channel; right: the rescue service's. The two
    // channels take turns, so that the order in which the receptions are
    // read does not hang on how long each decoder takes to finish one; no
    // call or RIC comes again on a channel within 20 s, so each one shows.
    const std::vector<std::pair<double, Item>> left = {
        {0.5, Status{"62345678", 3}},
        {3.5, FiveTone{"21345"}},
        {6.5, Tone{ToneCall::ToneI}},
        {9.5, Status{"62345679", 5, 1}},
        {12.5, Page{1234567, 3, "Einsatz: Brand Wohnhaus, Hauptstra\u00DFe 12", 1200.0}},
        {15.8, Alarm{"62345678", "B3 BMA Schule"}},
        {18.5, Status{"62345681", 0}},
        {21.0, Page{405502, 1, "Probealarm", 512.0, true}},
        {26.0, FiveTone{"21399"}},
        {29.0, Status{"62345678", 4, 2}},
        {32.0, Status{"62345682", 15}},
    };
    const std::vector<std::pair<double, Item>> right = {
        {2.0, Status{"73456781", 1}},
        {5.0, Tone{ToneCall::ToneII}},
        {8.0, FiveTone{"47449"}},
        {11.0, Status{"73456782", 15}},
        {14.4, Page{1382515, 1, "THL \u00D6lspur B27 km 4", 2400.0}},
        {17.0, Status{"73456781", 2, 3}},
        {20.0, FiveTone{"52891"}},
        {22.0, Page{413513, 2, "RD1 gest\u00FCrzte Person, \u00C4rztehaus", 1200.0, true}},
        {27.5, Status{"73456783", 5}},
        {30.5, Status{"73456782", 7}},
        {33.5, Status{"73456784", 0}},
    };
    tolvana::test::Traffic t;
    std::vector<ExpectedReception> l;
    std::vector<ExpectedReception> r;
    t.left = channel(ChannelSide::Left, left, l);
    t.right = channel(ChannelSide::Right, right, r);
    const std::size_t length = std::max(t.left.samples.size(), t.right.samples.size());
    t.left.samples.resize(length, 0.0);
    t.right.samples.resize(length, 0.0);
    t.expected = l;
    t.expected.insert(t.expected.end(), r.begin(), r.end());
    std::stable_sort(t.expected.begin(), t.expected.end(),
                     [](const ExpectedReception& a, const ExpectedReception& b) { return a.endSeconds < b.endSeconds; });
    return t;
}

} // namespace tolvana::demo
