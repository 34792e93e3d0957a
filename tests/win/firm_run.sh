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

program=${1:?usage: firm_run.sh zq18-20.exe zq-sample.exe win-run.sh}
sample=${2:?}
winrun=${3:?}
command -v wine >/dev/null 2>&1 || command -v wine64 >/dev/null 2>&1 || {
  echo "wine is not installed: skipped"
  exit 77
}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-$TMUX_TEST_DIR/wine-prefix}
winrun=$(cd "$(dirname "$winrun")" && pwd)/$(basename "$winrun")
run_cleanup() {
  tmux_cmd kill-server >/dev/null 2>&1 || true
  WINEPREFIX=$ZQ_WINEPREFIX timeout 20 wineserver -w >/dev/null 2>&1 || true
  tmux_cleanup
}
trap run_cleanup EXIT

work="$TMUX_TEST_DIR/run"
windows() { echo "Z:$(echo "$1" | tr / '\\')"; }
bash "$winrun" "$sample" --out "$(windows "$work")" --firms 8 --seed 2 \
  --program-dir "$(windows "$work/prog")" >"$TMUX_TEST_DIR/sample.txt" 2>"$TMUX_TEST_DIR/sample.err"
code=$?
if [ "$code" = 77 ]; then
  cat "$TMUX_TEST_DIR/sample.err"
  exit 77
fi
[ "$code" = 0 ] || fail "the sample maker failed ($code): $(cat "$TMUX_TEST_DIR/sample.err")"
cp "$program" "$work/prog/zq18-20.exe"
sample_firms "$TMUX_TEST_DIR/sample.txt"
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.before"

tmux_start zq
tmux_run zq "cd $work/prog && ZQ_WINEPREFIX=$ZQ_WINEPREFIX ZQ_WIN_TIMEOUT=400 bash $winrun zq18-20.exe"
tmux_wait_for zq "PROGRAM DO PRZEPCHNI" 60 || fail "no banner"
tmux_wait_for zq " Lokalizacja " || fail "no page 1"
tmux_send zq PageDown
tmux_wait_for zq " Dane globalne, konfiguracyjne " || fail "no page 2"
tmux_send zq PageDown
tmux_wait_for zq " Dane firmowe " || fail "no page 3"
tmux_send zq PageDown
tmux_wait_for zq " START KOPIOWANIA " || fail "no page 4"
tmux_send zq F5

answer_run zq 300
tmux_send zq Enter
code=$(tmux_exit_code zq 60) || fail "the program did not end"
[ "$code" = 0 ] || fail "exit code $code"

check_carried "$work"
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.after"
cmp -s "$TMUX_TEST_DIR/source.before" "$TMUX_TEST_DIR/source.after" || fail "the Source tree changed"
echo "firm run under wine passed: ${#firms[@]} firms, $answered answers"
