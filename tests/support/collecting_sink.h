// A ReceptionSink that keeps everything it is given, in order, for tests.
#pragma once

#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "decoders/common/reception_sink.h"

namespace tolvana {

// How a test failure shows a page.
inline void PrintTo(const PocsagPage& page, std::ostream* os) {
    *os << "{RIC " << page.ric << ", function " << page.function << ", \"" << page.text << "\"}";
}

} // namespace tolvana

namespace tolvana::test {

struct FmsEvent {
    ChannelSide side;
    FmsReception reception;
    TimePoint time;
};
struct ToneEvent {
    ChannelSide side;
    ToneCall tone;
    TimePoint time;
};
struct ZveiEvent {
    ChannelSide side;
    ZveiSequence sequence;
    TimePoint time;
};
struct PocsagEvent {
    ChannelSide side;
    PocsagPage page;
    TimePoint time;
};
using Event = std::variant<FmsEvent, ToneEvent, ZveiEvent, PocsagEvent>;

class CollectingSink final : public ReceptionSink {
public:
    void fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) override {
        events.emplace_back(FmsEvent{side, r, time});
    }
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override {
        events.emplace_back(ToneEvent{side, tone, time});
    }
    void zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) override {
        events.emplace_back(ZveiEvent{side, s, time});
    }
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override {
        events.emplace_back(PocsagEvent{side, page, time});
    }

    template <typename T> std::vector<T> only() const {
        std::vector<T> out;
        for (const Event& e : events) {
            if (const T* p = std::get_if<T>(&e)) {
                out.push_back(*p);
            }
        }
        return out;
    }
    /// Plausible FMS receptions only (what the hand-off would pass on).
    std::vector<FmsEvent> plausibleFms() const {
        std::vector<FmsEvent> out;
        for (const FmsEvent& e : only<FmsEvent>()) {
            if (e.reception.plausible) {
                out.push_back(e);
            }
        }
        return out;
    }

    std::vector<Event> events;
};

} // namespace tolvana::test
