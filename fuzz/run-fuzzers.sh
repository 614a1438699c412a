#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while, each on a fresh copy of the seeds: the
# workbooks in tests/data/xls and tests/data/xlsx, the project's template, the worksheets in fuzz/seeds,
# the regression files and, when the suite has
# made them, the templates other programs saved (build/tests/template-writers-work). A crash, a
# hang or a sanitizer report
# leaves its input in DIR/artifacts/ and fails the run: add it to fuzz/regressions/, named after
# its cause, once it is mended.
#   run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET
set -euo pipefail
dir=${1:?fuzz build folder}
seconds=${2:-30}
top=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
seeds=("$top"/tests/data/xls/*.xls "$top"/tests/data/xlsx/*.xls? "$top"/assets/MST_PO.xls "$top"/fuzz/regressions/*.xls "$top"/fuzz/regressions/*.bin "$top"/fuzz/seeds/*.xml
       "$top"/build/tests/template-writers-work/templates/*.xls)
[ ${#seeds[@]} -gt 0 ] || { echo "no seed inputs in tests/data/xls or fuzz/regressions"; exit 1; }
targets=()
for t in "$dir"/fuzz/fuzz_*; do
  # The targets only: CMake keeps folders of its own beside them (fuzz_xls_autogen) and replay tools.
  [ -f "$t" ] && [ -x "$t" ] && [[ "$t" != *_replay ]] && targets+=("$t")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $dir/fuzz (build the 'fuzzers' target)"; exit 1; }
mkdir -p "$dir/artifacts"
status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$dir/corpus/$name"
  rm -rf "$corpus" && mkdir -p "$corpus"
  i=0
  for s in "${seeds[@]}"; do cp "$s" "$corpus/$((i++))-$(basename "$s")"; done
  echo "-- $name for $seconds s"
  if ! "$target" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$dir/artifacts/$name-" "$corpus" > "$dir/$name.log" 2>&1; then
    status=1
    tail -n 30 "$dir/$name.log"
  else
    grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$dir/$name.log" | tail -n 1 || true
  fi
done
exit $status
