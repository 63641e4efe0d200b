// The receiving end of a whole reception, for exports that carry every field
// rather than the export line (MQTT). The hand-off calls it with exactly what
// it gives the view: a reception that passed filter, plausibility and
// duplicate test, once.
#pragma once

#include <string>

#include "decoders/common/types.h"

namespace tolvana {

class ReceptionExport {
public:
    virtual ~ReceptionExport() = default;

    /// `rufname` is the vehicle's call name, empty for an unknown vehicle.
    virtual void fms(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
                     const std::string& rufname, TimePoint time) = 0;
    virtual void tone(ChannelSide side, ToneCall tone, TimePoint time) = 0;
    /// `name` as the ZVEI list shows it.
    virtual void zvei(ChannelSide side, const std::string& number, const std::string& name,
                      TimePoint time) = 0;
    virtual void pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                        TimePoint time) = 0;
};

} // namespace tolvana
