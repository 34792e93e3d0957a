#!/usr/bin/env bash
# Runs every fuzz target for a short time from its seed corpus (fuzz/corpus/<target>):
# SECONDS in all (180 by default) shared among the targets, at most 15 each,
# the corpus copied first so that the committed seeds stay small. A crash, a broken
# invariant or a hang fails the run and prints the input that showed it; keep that input
# as fuzz/regressions/<target>/<name> once the fault is mended.
#   fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
set -uo pipefail
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]}
budget=${2:-180}
shift $(($# >= 2 ? 2 : 1))
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# program target pairs, the chosen ones only
pairs=()
for program in "$build"/fuzz/fuzz_*; do
  [ -x "$program" ] || continue
  for target in $(ZQ_FUZZ_LIST=1 "$program"); do
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$target"; then continue; fi
    pairs+=("$program $target")
  done
done
[ ${#pairs[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }
seconds=$((budget / ${#pairs[@]}))
[ $seconds -le 15 ] || seconds=15
[ $seconds -ge 3 ] || seconds=3

failed=0
for pair in "${pairs[@]}"; do
    read -r program target <<<"$pair"
    corpus=$work/corpus/$target
    mkdir -p "$corpus" "$work/found/$target"
    cp "$here/corpus/$target/"* "$corpus/" 2>/dev/null || true
    cp "$here/regressions/$target/"* "$corpus/" 2>/dev/null || true
    log=$work/$target.log
    # Inputs up to three of the largest records (a tax form is 13952 bytes). A fixed seed
    # (ZQ_FUZZ_SEED, 1 unless given) makes the short run in the test script repeat the
    # same mutations; longer runs meant to explore give another.
    ZQ_FUZZ_TARGET=$target "$program" "$corpus" -seed="${ZQ_FUZZ_SEED:-1}" \
      -max_total_time="$seconds" -max_len=45000 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/found/$target/" >"$log" 2>&1
    status=$?
    stats=$(grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" |
      sed 's/stat:://' | tr '\n' ' ')
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1)
    echo "fuzz $target: ${cov:-cov: ?} $stats corpus $(ls "$corpus" | wc -l)"
    if [ $status -ne 0 ]; then
      failed=1
      grep -E 'zq fuzz:|ERROR: |SUMMARY: ' "$log" | head -n 5
      for found in "$work/found/$target/"*; do
        [ -f "$found" ] || continue
        keep=$here/regressions/$target/$(basename "$found")
        mkdir -p "$(dirname "$keep")"
        cp "$found" "$keep"
        echo "fuzz $target: FINDING kept as $keep"
      done
    fi
done
exit $failed
