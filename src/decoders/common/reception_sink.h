// Where a decoder chain delivers what it has read from the air. Decoders never
// format or print; the hand-off (or a test fake) implements this interface.
// Called once per reception, never per sample.
#pragma once

#include "decoders/common/types.h"

namespace tolvana {

class ReceptionSink {
public:
    virtual ~ReceptionSink() = default;

    /// An FMS telegram whose follow-up reading (if any) has ended. Offered for
    /// every slicing that is not waiting for follow-ups, plausible or not.
    virtual void fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) = 0;
    /// A call tone seen on the FMS chain's frequency estimates.
    virtual void toneCall(ChannelSide side, ToneCall tone, TimePoint time) = 0;
    /// A five-tone sequence of five characters (before filter and duplicate test).
    virtual void zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) = 0;
    /// A pager message at the end of its transmission (before filter and duplicate test).
    virtual void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) = 0;
};

} // namespace tolvana
