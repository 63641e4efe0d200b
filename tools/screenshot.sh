#!/bin/sh
# Takes the README's picture of the main window: the demo data folder (copied),
# the demo recording replayed at full speed, a virtual X screen, and a private
# audio server so that the device list holds one input as on a desktop.
#
#   tools/screenshot.sh [BUILD_DIR] [OUT.png]     (default build/dev, docs/images/main-window.png)
set -eu
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$SRC/build/dev}
OUT=${2:-$SRC/docs/images/main-window.png}
WORK=$(mktemp -d)
chmod 700 "$WORK"
trap 'kill $(cat "$WORK/pulse/pid" 2>/dev/null) 2>/dev/null || true; rm -rf "$WORK"' EXIT

export XDG_RUNTIME_DIR=$WORK HOME=$WORK PULSE_SERVER=unix:$WORK/native
pulseaudio --daemonize=yes -n --exit-idle-time=-1 --use-pid-file=yes \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$WORK/native" \
  --load="module-null-sink sink_name=vsink rate=22050 channels=2" \
  --load="module-remap-source master=vsink.monitor source_name=vmic source_properties=device.description=VirtualMic" \
  --log-target=file:$WORK/pa.log
pactl set-default-source vmic

cp -r "$SRC/testdata/demo/home" "$WORK/home"
xvfb-run -a -s "-screen 0 1280x960x24" sh -c "
  '$BUILD/src/gui/tolvana' --home '$WORK/home' --replay '$SRC/testdata/demo/demo.flac' --replay-fast &
  APP=\$!
  sleep 8
  import -window root '$OUT'
  kill \$APP"
echo "$OUT"
