// What happens to a reception once a decoder has read it, in one place that
// needs no widgets, for both channels and all three systems:
//
//   FMS      filter -> list limit -> plausibility -> alert lists -> vehicle
//            look-up (status, board, status file) -> grid row -> daily log
//            -> action (known vehicle) -> page flag -> TCP -> local message
//            -> receptions (MQTT)
//   ZVEI     duplicate test -> filter -> names -> grid row -> daily log
//            -> action -> last call -> page flag -> TCP -> local message
//            -> receptions
//   POCSAG   filter -> duplicate test -> names -> grid row -> daily log
//            -> action -> TCP -> local message -> receptions -> recent
//            pages, page flag
//
// The order is what receivers, logs and action programs have always seen,
// so it stays as it is. Duplicate windows (20 s per channel) run on the
// reception time, which is the recording clock when a file is decoded, and
// a time before the one remembered (a clock set back) is never a repeat.
#pragma once

#include <QDateTime>

#include <array>
#include <deque>
#include <set>
#include <string>

#include "decoders/common/reception_sink.h"
#include "export/line_export.h"
#include "export/reception_export.h"
#include "export/reception_action.h"
#include "handoff/monitor_state.h"
#include "handoff/reception_view.h"

namespace tolvana {

/// Calls and messages repeated within this many whole seconds on the same
/// channel are shown once: a unit is often alerted twice in a row.
inline constexpr qint64 kDuplicateWindowSeconds = 20;
/// Pages remembered per channel for the duplicate test; far more than a
/// channel carries in the window (a page lasts at least 50 ms on the air).
inline constexpr std::size_t kRecentPagesKept = 512;

/// Where the hand-off sends lines and starts programs.
struct HandoffOutputs {
    ActionStarter* actions = nullptr;    ///< reception action (null: none)
    LineExport* tcp = nullptr;           ///< TCP export (null: none)
    LineExport* localMessage = nullptr;  ///< local-message export (null: none)
    /// Whole receptions (MQTT), after the lines; null: none. Its own
    /// settings switch it on, so the caller sets it only when it is on.
    ReceptionExport* receptions = nullptr;
};

class ReceptionHandoff final : public ReceptionSink {
public:
    ReceptionHandoff(MonitorState& state, ReceptionView& view, HandoffOutputs outputs);

    void fmsReception(ChannelSide side, const FmsReception& reception, TimePoint time) override;
    void toneCall(ChannelSide side, ToneCall tone, TimePoint time) override;
    void zveiSequence(ChannelSide side, const ZveiSequence& sequence, TimePoint time) override;
    void pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) override;

    /// Whole receptions (MQTT) from now on; null: none. For an output that
    /// a part of the program adds after the hand-off was made.
    void setReceptionExport(ReceptionExport* receptions) { m_outputs.receptions = receptions; }

    /// Set by every reception that changes what the status page shows.
    bool pageChanged() const { return m_pageChanged; }
    void clearPageChanged() { m_pageChanged = false; }

    /// The minute timer's duty: alert-list entries older than four minutes
    /// leave; with the HTML export on and something changed, the page is
    /// written anew. Returns whether the page was written. A page that
    /// cannot be written keeps the flag set, so the next tick tries again.
    bool housekeeping(TimePoint now);

private:
    struct LastCall {
        QString number;
        qint64 second = 0; ///< whole seconds since the epoch
        bool valid = false;
    };

    // A page handed on, as the duplicate test compares it.
    struct RecentPage {
        std::uint32_t ric = 0;
        int function = 0;
        std::string text;
        qint64 second = 0;
    };

    bool isRepeat(const LastCall& last, const QString& number, qint64 second) const;
    bool isRepeatedPage(ChannelSide side, const PocsagPage& page, qint64 second);
    void report(const FileResult& result);
    void exportLine(const std::string& line);
    void startAction(const QStringList& arguments);

    MonitorState& m_state;
    ReceptionView& m_view;
    HandoffOutputs m_outputs;
    std::array<LastCall, 2> m_lastZvei;
    std::array<std::deque<RecentPage>, 2> m_recentPages; ///< oldest first
    bool m_pageChanged = false;
    /// Files (the status files by their folder) whose last write failed and
    /// was reported; a full disk fails every reception, but says so once.
    std::set<QString> m_failing;
};

/// Local date and time of a reception time, to whole seconds.
QDateTime localTime(TimePoint time);

} // namespace tolvana
