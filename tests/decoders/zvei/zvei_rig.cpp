#include "decoders/zvei/zvei_rig.h"

#include <algorithm>
#include <span>

namespace tolvana::test {

void ZveiRig::feed(const Signal& left, const Signal& right, double tail) {
    const std::size_t tailFrames = static_cast<std::size_t>(tail * kSampleRate);
    std::size_t frames = std::max(left.samples.size(), right.samples.size()) + tailFrames;
    frames = (frames + kBlockFrames - 1) / kBlockFrames * kBlockFrames;
    std::vector<std::int16_t> l = toPcm(left);
    std::vector<std::int16_t> r = toPcm(right);
    l.resize(frames, 0);
    r.resize(frames, 0);
    for (std::size_t at = 0; at < frames; at += kBlockFrames) {
        const auto ms = (m_frames * 1000) / kSampleRate;
        const TimePoint now = kStart + std::chrono::milliseconds{static_cast<std::int64_t>(ms)};
        m_dispatcher.dispatchBlock(std::span<const std::int16_t, kBlockFrames>(l.data() + at, kBlockFrames),
                                   std::span<const std::int16_t, kBlockFrames>(r.data() + at, kBlockFrames),
                                   now);
        for (const ChannelSide side : {ChannelSide::Left, ChannelSide::Right}) {
            if (m_dispatcher.zvei(side).sequenceDone() != 0) {
                ++m_marks[static_cast<std::size_t>(sideIndex(side))];
            }
        }
        m_frames += kBlockFrames;
    }
}

std::vector<std::string> ZveiRig::calls(ChannelSide side) const {
    std::vector<std::string> out;
    for (const ZveiEvent& e : sink.only<ZveiEvent>()) {
        if (e.side == side) {
            out.push_back(e.sequence.number);
        }
    }
    return out;
}

std::vector<std::string> ZveiRig::allCalls() const {
    std::vector<std::string> out;
    for (const ZveiEvent& e : sink.only<ZveiEvent>()) {
        out.push_back(std::string(1, sideLetter(e.side)) + ":" + e.sequence.number);
    }
    return out;
}

std::vector<double> ZveiRig::callTimes() const {
    std::vector<double> out;
    for (const ZveiEvent& e : sink.only<ZveiEvent>()) {
        out.push_back(std::chrono::duration<double>(e.time - kStart).count());
    }
    return out;
}

} // namespace tolvana::test
