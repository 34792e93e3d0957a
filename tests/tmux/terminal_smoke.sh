#!/usr/bin/env bash
# The program on a real terminal: it draws its banner, survives a terminal that
# is too small, ends through the cancel question with exit code 0, and gives the
# terminal back as it found it.
# Usage: terminal_smoke.sh PATH_TO_zq18-20
set -u
. "$(dirname "$0")/lib.sh"

program=${1:?usage: terminal_smoke.sh zq18-20}
[ -x "$program" ] || fail "no program at $program"
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
work="$TMUX_TEST_DIR/run"
mkdir -p "$work"

tmux_start zq
tmux_run zq "cd $work && echo BEFORE-THE-PROGRAM && $program"

banner=' PROGRAM DO PRZEPCHNIĘCIA DANYCH DOR_ZQ <= #980  NA 2020 1.07(x86)'
tmux_wait_for zq "$banner" || fail "no banner"
tmux_row zq 1 | grep -qF -- "$banner" || fail "banner not on row 1"
# The log leaves column 80 blank, so the rule of 80 shows its first 79.
rule=$(printf '─%.0s' $(seq 79))
[ "$(tmux_row zq 2)" = "$rule" ] || fail "row 2 is not a rule of 79 ─: '$(tmux_row zq 2)'"
tmux_wait_gone zq BEFORE-THE-PROGRAM 5 || fail "the program did not take the screen"

# Too small: a notice instead of the screen; large enough again: the screen is back.
tmux_resize zq 60 20
tmux_wait_for zq "Okno terminala jest za małe" || fail "no notice in a 60x20 terminal"
tmux_resize zq 80 25
tmux_wait_for zq "$banner" || fail "screen not redrawn after growing back"

# Esc, then yes to the cancel question.
tmux_cancel zq

# The normal screen is back with what was printed before, and the line
# discipline is as before: canonical input, echo, signals, flow control.
tmux_wait_for zq BEFORE-THE-PROGRAM 5 || fail "normal screen not restored"
tmux_cmd send-keys -t zq -l "stty -a > $TMUX_TEST_DIR/stty"
tmux_send zq Enter
sleep 0.5
for flag in icanon echo isig ixon opost icrnl; do
  tr ' ;' '\n\n' <"$TMUX_TEST_DIR/stty" | grep -qx -- "$flag" || fail "terminal left with -$flag"
done
tmux_cmd display -p -t zq '#{cursor_flag}' | grep -qx 1 || fail "cursor left hidden"
tmux_cmd display -p -t zq '#{alternate_on}' | grep -qx 0 || fail "alternate screen left on"
tmux_cmd display -p -t zq '#{mouse_any_flag}#{mouse_button_flag}#{mouse_sgr_flag}' | grep -qx 000 ||
  fail "mouse reporting left on"

echo "terminal smoke test passed"
