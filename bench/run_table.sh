#!/bin/sh
# Speed, memory and decoding under noise, tolvana beside multimon-ng on the
# same generated audio; prints a Markdown table (about 10 minutes).
#   bench/run_table.sh [BUILD_DIR] [--doc]      --doc also updates docs/performance.md
#   bench/run_table.sh --help                   every option
exec /usr/bin/python3 "$(dirname "$0")/run_table.py" "$@"
