// Receptions held back for later delivery, in the order the chains reported
// them. When a recording's two channels are decoded on two threads, each
// side's chains report here, and the thread that owns the real sink hands
// them on buffer by buffer, left before right, exactly as one thread would.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "decoders/common/reception_sink.h"
#include "decoders/common/types.h"

namespace tolvana {

struct QueuedReception {
    std::uint32_t buffer = 0; ///< the caller's tag: which buffer of a batch reported it
    ChannelSide side = ChannelSide::Left;
    TimePoint time;
    std::variant<FmsReception, ToneCall, ZveiSequence, PocsagPage> what;
};

using ReceptionQueue = std::vector<QueuedReception>;

/// Calls the sink method that reported `r`.
inline void deliver(const QueuedReception& r, ReceptionSink& sink) {
    if (const auto* fms = std::get_if<FmsReception>(&r.what)) {
        sink.fmsReception(r.side, *fms, r.time);
    } else if (const auto* tone = std::get_if<ToneCall>(&r.what)) {
        sink.toneCall(r.side, *tone, r.time);
    } else if (const auto* zvei = std::get_if<ZveiSequence>(&r.what)) {
        sink.zveiSequence(r.side, *zvei, r.time);
    } else if (const auto* page = std::get_if<PocsagPage>(&r.what)) {
        sink.pocsagPage(r.side, *page, r.time);
    }
}

} // namespace tolvana
