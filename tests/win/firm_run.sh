#!/usr/bin/env bash
# zq18-20.exe under wine carries a generated office into the new year, typed at a
# Win32 console as a person would: the four Wizard pages, F5, the firm selection and
# every question of the firms' runs, to "Nacisnij Enter" and exit code 0. Then every
# firm offered must be in the Target tree with its marker, annual settings,
# declarations and listed files, the Target firm list must hold them all, and the
# Source tree must be as it was. The Target firm list is written through the file
# calls the program locks and inserts with, so this also covers them on Windows.
# Usage: firm_run.sh zq18-20.exe zq-sample.exe tools/win-run.sh
set -u
. "$(dirname "$0")/../tmux/lib.sh"
. "$(dirname "$0")/../tmux/firm_run_lib.sh"
. "$(dirname "$0")/wine_lib.sh"

work="$TMUX_TEST_DIR/run"
wine_sample "$work" --firms 8 --seed 2 --program-dir "$work/prog"
cp "$program" "$work/prog/zq18-20.exe"
sample_firms "$TMUX_TEST_DIR/sample.txt"
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.before"

tmux_start zq
tmux_run zq "cd $work/prog && ZQ_WINEPREFIX=$ZQ_WINEPREFIX ZQ_WIN_TIMEOUT=400 bash $winrun zq18-20.exe"
tmux_wait_for zq "PROGRAM DO PRZEPCHNI" 60 || fail "no banner"
walk_to_start zq

answer_run zq 300
tmux_send zq Enter
code=$(tmux_exit_code zq 60) || fail "the program did not end"
[ "$code" = 0 ] || fail "exit code $code"

check_carried "$work"
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.after"
cmp -s "$TMUX_TEST_DIR/source.before" "$TMUX_TEST_DIR/source.after" || fail "the Source tree changed"
echo "firm run under wine passed: ${#firms[@]} firms, $answered answers"
