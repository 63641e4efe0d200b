#!/bin/sh
# The window's figures for docs/performance.md: start-up with a full data
# folder, a reception's way to the screen, the event loop during a fast
# replay, memory over an hour of replay, the CPU share of an idle monitor.
# Offscreen (no display needed); a few minutes, most of it making the hour
# of audio.
#   bench/gui_bench.sh [BUILD_DIR]
set -eu
BUILD=${1:-$(dirname "$0")/../build/dev}
BENCH=$BUILD/bench/tolvana_gui_bench
WORK=$(mktemp -d)
chmod 700 "$WORK"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$WORK

run() {
  echo "## $*"
  "$BENCH" "$@" 2>&1 | grep -v -e "propagateSizeHints" -e "PulseAudio"
  echo
}
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
run startup 5
run row-latency 200
"$BUILD/tools/tolvana-testsignal" --stream --seconds 3600 --seed 3 "$WORK/hour.flac"
run replay-fast "$WORK/hour.flac"
run idle-cpu 60
run live-latency 20
run live-idle 60
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
