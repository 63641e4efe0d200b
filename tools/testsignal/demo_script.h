// The demo recording: a fixed script of every kind of reception the monitor
// shows, on both channels, so that one replay fills every grid, every alert
// list and the follow-up text column:
//
//   FMS status telegrams from vehicles (among them 0, 5 and 15), a control
//   room's digital alarm with its follow-up text, both call tones, five-tone
//   calls, and pager messages at 512, 1200 and 2400 bit/s.
//
// The identities, calls and RICs match the demo data folder
// (testdata/demo/home), where they have names and colours.
#pragma once

#include "support/traffic.h"

namespace tolvana::demo {

/// The scripted traffic with the lines tolvana-decode prints for it, in
/// order. Always the same recording.
tolvana::test::Traffic makeDemoTraffic();

} // namespace tolvana::demo
