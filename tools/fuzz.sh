#!/usr/bin/env bash
# Long fuzz runs: builds the fuzz preset (clang, libFuzzer, ASan+UBSan) and
# runs each fuzz target in turn, one process at a time, for SECONDS each.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]       default: 600 s, every target
#   tools/fuzz.sh 3600 data_folder
#
# Targets: dispatcher dispatcher_extreme audio_source data_folder bos_file.
# New inputs collect in build/fuzz/fuzz/corpus/<target>/ (kept between runs);
# a crash, hang or leak stops the run and leaves the input in
# build/fuzz/fuzz/artifacts/<target>/. To keep it as a regression input, copy
# it to fuzz/regressions/<target>/ (see docs/robustness.md).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(dispatcher dispatcher_extreme audio_source data_folder bos_file)
fi

# Leaks inside third-party libraries, as for the smoke runs.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

for t in "${targets[@]}"; do
  bin=build/fuzz/fuzz/fuzz_$t
  if [ ! -x "$bin" ]; then
    echo "tools/fuzz.sh: no fuzz target '$t'" >&2
    exit 2
  fi
  # The smoke test's options (max_len, dictionary) hold for long runs too.
  mapfile -t opts < <(ctest --test-dir build/fuzz -R "^fuzz_${t}_smoke\$" --show-only=json-v1 |
    /usr/bin/python3 -c 'import json,sys; t=json.load(sys.stdin)["tests"][0]["command"]; print("\n".join(a for a in t[1:] if a.startswith("-") and not a.startswith("-max_total_time")))')
  mkdir -p "build/fuzz/fuzz/corpus/$t" "build/fuzz/fuzz/artifacts/$t"
  echo "== $t: ${seconds} s"
  "$bin" "${opts[@]}" -max_total_time="$seconds" \
    "build/fuzz/fuzz/corpus/$t" "fuzz/corpus/$t" "fuzz/regressions/$t"
done
