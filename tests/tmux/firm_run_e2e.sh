#!/usr/bin/env bash
# A person carries a generated office into the new year in a real terminal: from the
# banner through the four Wizard pages, the repair note, the firm selection and every
# question of the firms' runs, to "Nacisnij Enter". The program must end with exit
# code 0, every firm offered must be in the Target tree with its marker, annual
# settings, declarations and listed files, the Target firm list must hold them all,
# and the Source tree must be as it was.
# Usage: firm_run_e2e.sh PATH_TO_zq18-20 PATH_TO_zq-sample
set -u
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/firm_run_lib.sh"

program=${1:?usage: firm_run_e2e.sh zq18-20 zq-sample}
sample=${2:?usage: firm_run_e2e.sh zq18-20 zq-sample}
work="$TMUX_TEST_DIR/run"
"$sample" --out "$work" --firms 8 --seed 2 --program-dir "$work/prog" >"$TMUX_TEST_DIR/sample.txt" ||
  fail "sample generator failed"
cp "$program" "$work/prog/zq18-20"

sample_firms "$TMUX_TEST_DIR/sample.txt"

tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.before"

tmux_start zq
tmux_run zq "cd $work/prog && ./zq18-20"
tmux_wait_for zq "PROGRAM DO PRZEPCHNI" || fail "no banner"
walk_to_start zq

answer_run zq 120
tmux_send zq Enter
code=$(tmux_exit_code zq) || fail "the program did not end"
[ "$code" = 0 ] || fail "exit code $code"

check_carried "$work"

tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.after"
cmp -s "$TMUX_TEST_DIR/source.before" "$TMUX_TEST_DIR/source.after" || fail "the Source tree changed"
# The pane's shell leaves with its history written, before the test directory goes.
tmux_send zq "exit" Enter
tmux_wait_gone zq "$" 5 >/dev/null 2>&1 || true
sleep 0.3
echo "firm run passed: ${#firms[@]} firms, $answered answers"
