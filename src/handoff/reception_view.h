// The screen side of the hand-off. The GUI implements it with its board and
// message boxes; the headless program implements it without a screen
// (printing receptions and problems). Lists and alert lists are models and
// announce their own changes; this interface carries the rest.
#pragma once

#include <QString>

#include "decoders/common/types.h"
#include "handoff/receptions.h"
#include "records/file_result.h"

namespace tolvana {

struct Vehicle;

class ReceptionView {
public:
    virtual ~ReceptionView() = default;

    /// The board field of vehicle `index` must be drawn anew (status change).
    virtual void vehicleChanged(int index) = 0;
    /// An FMS telegram went through the whole hand-off; `vehicle` is the
    /// vehicle-table entry it belongs to, or null for an unknown vehicle.
    virtual void fmsHandedOn(ChannelSide side, const FmsReception& reception,
                             const Vehicle* vehicle, TimePoint time) = 0;
    /// A call tone was put into the alert list.
    virtual void toneCallShown(ChannelSide side, ToneCall tone, TimePoint time) = 0;
    virtual void zveiHandedOn(ChannelSide side, const ZveiCall& call) = 0;
    virtual void pocsagHandedOn(ChannelSide side, const PocsagMessage& message) = 0;
    /// Something the user must know: a table, log or page could not be
    /// written. A German text, ready to show.
    virtual void reportProblem(const QString& message) = 0;
    /// A file could not be written; the hand-off reports each failing file
    /// once, until it is written again. The result carries the German and
    /// the English message; a view shows the one its user reads.
    virtual void reportFileProblem(const FileResult& result) { reportProblem(result.error()); }
};

} // namespace tolvana
