#include "integration/decode_rig.h"

#include <algorithm>

#include "export/export_line.h"

namespace tolvana::test {

std::size_t MemorySource::readFrames(std::span<std::int16_t> out) {
    const std::size_t values = std::min((out.size() / 2) * 2, m_pcm.size() - m_next);
    std::copy_n(m_pcm.begin() + static_cast<std::ptrdiff_t>(m_next), values, out.begin());
    m_next += values;
    return values / 2;
}

void LineSink::fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) {
    if (!reception.plausible) {
        ++implausibleFms;
        return;
    }
    heard.push_back(Heard{side, fmsExportLine(reception.telegram), reception.followUpText, time});
}

void LineSink::toneCall(ChannelSide side, ToneCall tone, TimePoint time) {
    heard.push_back(Heard{side, toneCallText(tone), {}, time});
}

void LineSink::zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) {
    heard.push_back(Heard{side, zveiExportLine(sequence.number, {}), {}, time});
}

void LineSink::pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) {
    heard.push_back(Heard{side, pocsagExportLine(page.ric, page.function, page.text), {}, time});
}

std::vector<std::string> LineSink::lines(ChannelSide side) const {
    std::vector<std::string> out;
    for (const Heard& h : heard) {
        if (h.side == side) {
            out.push_back(h.line);
        }
    }
    return out;
}

std::vector<std::string> LineSink::printed(ChannelSide side) const {
    std::vector<std::string> out = lines(side);
    for (std::string& line : out) {
        line.insert(0, std::string(1, sideLetter(side)) + "\t");
    }
    return out;
}

void decodePcm(std::vector<std::int16_t> interleaved, Dispatcher& dispatcher,
               const std::function<void(Dispatcher&, std::uint64_t buffer)>& afterBuffer) {
    MemorySource source(std::move(interleaved));
    std::uint64_t buffer = 0;
    decodeRecording(source, dispatcher, kRecordingStart, [&](const RecordingProgress&) {
        if (afterBuffer) {
            afterBuffer(dispatcher, buffer);
        }
        ++buffer;
        return true;
    });
}

LineSink decodeStereo(const Signal& left, const Signal& right, const DecoderSwitches& switches) {
    LineSink sink;
    Dispatcher dispatcher(sink, switches);
    decodePcm(interleave(toPcm(left), toPcm(right)), dispatcher);
    return sink;
}

DecoderSwitches sideOnly(ChannelSide side, bool fms, bool zvei, bool pocsag) {
    DecoderSwitches s;
    const auto i = static_cast<std::size_t>(sideIndex(side));
    s.fms[i] = fms;
    s.zvei[i] = zvei;
    s.pocsag[i] = pocsag;
    return s;
}

} // namespace tolvana::test
