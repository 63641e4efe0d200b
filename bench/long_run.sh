#!/bin/sh
# A day (default) of generated two-channel traffic streamed into
# tolvana-decode with every output on, then an hour of noise, silence,
# clipping and DC; checks that nothing is lost or made up and that memory
# stays flat. Exit code 0 when every check passed.
#   bench/long_run.sh [BUILD_DIR] [--hours 24] [--junk-hours 1] [--doc]
#   bench/long_run.sh --hours 1                 the quick check
exec /usr/bin/python3 "$(dirname "$0")/long_run.py" "$@"
