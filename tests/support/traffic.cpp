#include "support/traffic.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/zvei_encoder.h"

namespace tolvana::test {

std::string ExpectedReception::printed() const {
    return std::string(1, sideLetter(side)) + "\t" + line;
}

std::vector<std::int16_t> Traffic::stereoPcm() const { return interleave(toPcm(left), toPcm(right)); }

std::vector<std::string> Traffic::printedLines() const {
    std::vector<std::string> out;
    for (const ExpectedReception& e : expected) {
        out.push_back(e.printed());
    }
    return out;
}

namespace {

const char* const kAlarmTexts[] = {"B3 BMA", "RD 1 Sturz", "TH 2 VU eingekl", "F1 Kamin"};
const char* const kPagerTexts[] = {
    "Probealarm", "Einsatz: Brand Wohnhaus, Hauptstra\u00DFe 12",
    "RD1 gest\u00FCrzte Person, \u00C4rztehaus", "THL \u00D6lspur B27 km 4", "Funk\u00FCbung 19:30 Uhr",
    "F2 Gro\u00DFbrand Scheune"};

class ChannelTraffic {
public:
    ChannelTraffic(ChannelSide side, const TrafficOptions& options, std::mt19937& rng)
        : m_side(side), m_options(options), m_rng(rng) {}

    Signal build(std::vector<ExpectedReception>& expected) {
        Signal out = silence(0.5);
        for (int sent = 0; m_options.count <= 0 || sent < m_options.count; ++sent) {
            const int kind = pickKind();
            Signal burst;
            ExpectedReception e;
            e.side = m_side;
            if (kind == 0) {
                burst = fms(e);
            } else if (kind == 1) {
                burst = zvei(e);
            } else {
                burst = pocsag(e);
            }
            const double gap = std::uniform_real_distribution<double>(m_options.minGapSeconds,
                                                                      m_options.maxGapSeconds)(m_rng);
            if (m_options.count <= 0 && out.seconds() + burst.seconds() + gap > m_options.seconds) {
                break;
            }
            out.append(burst);
            e.endSeconds = out.seconds();
            expected.push_back(e);
            out.append(silence(gap));
        }
        if (m_options.count <= 0) {
            out.samples.resize(static_cast<std::size_t>(m_options.seconds * kSampleRate), 0.0);
        }
        return out;
    }

private:
    int pickKind() {
        std::vector<int> kinds;
        if (m_options.fms) kinds.push_back(0);
        if (m_options.zvei) kinds.push_back(1);
        if (m_options.pocsag) kinds.push_back(2);
        return kinds[std::uniform_int_distribution<std::size_t>(0, kinds.size() - 1)(m_rng)];
    }

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    std::size_t pick(std::size_t size) { return std::uniform_int_distribution<std::size_t>(0, size - 1)(m_rng); }

    // A number not used on this channel in the last 30 s of audio.
    template <typename Make> std::string fresh(std::map<std::string, double>& used, Make make, double now) {
        for (;;) {
            std::string s = make();
            auto it = used.find(s);
            if (it == used.end() || now - it->second > 30.0) {
                used[s] = now + 10.0;
                return s;
            }
        }
    }

    Signal fms(ExpectedReception& e) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        FmsFields f;
        std::string k;
        if (!m_options.kennungs.empty()) {
            k = m_options.kennungs[pick(m_options.kennungs.size())];
        } else {
            k += kHex[uniform(1, 15)];
            k += kHex[uniform(0, 15)];
            for (int i = 0; i < 6; ++i) {
                k += static_cast<char>('0' + uniform(1, 9)); // no zeros: never implausible
            }
        }
        f.kennung = k;
        f.tki = uniform(0, 3);
        f.richtung = uniform(0, 1);
        f.status = uniform(0, 15);
        FmsEncoder::Options o;
        o.amplitude = m_options.amplitude;
        o.startPhase = std::uniform_real_distribution<double>(0.0, 6.28)(m_rng);
        FmsEncoder enc(o);
        Signal s;
        if (f.status == 10 && f.richtung == 1) {
            e.text = kAlarmTexts[uniform(0, 3)];
            s = enc.digitalAlarm(f, e.text);
        } else {
            s = enc.telegram(f);
        }
        e.line = "##FMS#" + k + "#" + std::to_string(f.status) + "#" + std::to_string(f.tki) +
                 std::to_string(f.richtung) + "#+";
        return s;
    }

    Signal zvei(ExpectedReception& e) {
        const double now = m_clock;
        const std::string call = fresh(m_usedCalls, [&] {
            std::string c;
            for (int i = 0; i < 5; ++i) {
                c += static_cast<char>('0' + uniform(0, 9));
            }
            return c;
        }, now);
        ZveiEncoderOptions o;
        o.amplitude = m_options.amplitude;
        e.line = "##ZVEI#" + call + "##+";
        Signal s = ZveiEncoder(o).call(call, 0.1, 0.3);
        m_clock += s.seconds() + m_options.maxGapSeconds;
        return s;
    }

    Signal pocsag(ExpectedReception& e) {
        const double now = m_clock;
        const std::string ric = fresh(m_usedRics, [&] { return std::to_string(uniform(8, 2097151)); }, now);
        PocsagCall call;
        call.ric = static_cast<std::uint32_t>(std::stoul(ric));
        call.function = uniform(0, 3);
        call.kind = PocsagCall::Kind::Alphanumeric;
        const std::string utf8 = kPagerTexts[uniform(0, 5)];
        call.content = germanSevenBit(utf8);
        PocsagAir air;
        air.bitRate = m_options.pocsagRates[pick(m_options.pocsagRates.size())];
        air.amplitude = m_options.amplitude;
        switch (m_options.pocsagPolarity) {
        case TrafficOptions::Polarity::Mixed:
            air.inverted = uniform(0, 1) == 1;
            break;
        case TrafficOptions::Polarity::Normal:
            air.inverted = false;
            break;
        case TrafficOptions::Polarity::Inverted:
            air.inverted = true;
            break;
        }
        air.lowPassHz = air.bitRate;
        e.text = utf8;
        e.line = "##POC#" + ric + "#" + std::to_string(call.function) + "#" + utf8 + "#+";
        Signal s = silence(0.05);
        s.append(pocsagTransmission({call}, air));
        s.append(silence(0.2));
        m_clock += s.seconds() + m_options.maxGapSeconds;
        return s;
    }

    ChannelSide m_side;
    const TrafficOptions& m_options;
    std::mt19937& m_rng;
    std::map<std::string, double> m_usedCalls;
    std::map<std::string, double> m_usedRics;
    double m_clock = 0.0;
};

} // namespace

Traffic makeTraffic(const TrafficOptions& options) {
    if (options.pocsag && options.pocsagRates.empty()) {
        throw std::invalid_argument("makeTraffic: pager traffic needs at least one bit rate");
    }
    Traffic t;
    std::mt19937 rng(options.seed);
    std::vector<ExpectedReception> left;
    std::vector<ExpectedReception> right;
    const double quiet = options.count > 0 ? 0.0 : options.seconds;
    t.left = options.left ? ChannelTraffic(ChannelSide::Left, options, rng).build(left) : silence(quiet);
    t.right = options.right ? ChannelTraffic(ChannelSide::Right, options, rng).build(right) : silence(quiet);
    // With a count the channels end where their traffic ends: both get the
    // length of the longer one.
    const std::size_t length = std::max(t.left.samples.size(), t.right.samples.size());
    t.left.samples.resize(length, 0.0);
    t.right.samples.resize(length, 0.0);
    if (std::isfinite(options.snrDb)) {
        addNoise(t.left, options.snrDb, options.seed * 2 + 1);
        addNoise(t.right, options.snrDb, options.seed * 2 + 2);
    }
    t.expected = left;
    t.expected.insert(t.expected.end(), right.begin(), right.end());
    std::stable_sort(t.expected.begin(), t.expected.end(),
                     [](const ExpectedReception& a, const ExpectedReception& b) {
                         return a.endSeconds < b.endSeconds;
                     });
    return t;
}

} // namespace tolvana::test
