#!/usr/bin/env bash
# zq18-20.exe under wine in an 80x25 tmux pane, as a user at a console window: wine
# makes a real Win32 console on the pane's terminal when the program is started there
# directly (plain `wine`, through tools/win-run.sh), and draws the console's screen
# buffer on it. The walk types keys into that console: a Polish letter into page 1,
# PgDn through the four Wizard pages and PgUp back, Esc and "t" to the cancel
# question, Enter to the closing prompt, exit code 0. Then the usage text, a pane too
# small for 80x25, and a start without any console.
# Usage: wizard_walk.sh zq18-20.exe zq-sample.exe tools/win-run.sh
set -u
. "$(dirname "$0")/../tmux/lib.sh"

. "$(dirname "$0")/wine_lib.sh"

# The wine prefix and the sample trees, made before any pane waits on them.
tree="$TMUX_TEST_DIR/tree"
wine_sample "$tree" --firms 4 --seed 7 --program-dir "$tree/DOR_2020"
cp "$program" "$tree/DOR_2020/zq18-20.exe"
start="cd $tree/DOR_2020 && ZQ_WINEPREFIX=$ZQ_WINEPREFIX ZQ_WIN_TIMEOUT=120 bash $winrun zq18-20.exe"
banner=' PROGRAM DO PRZEPCHNIĘCIA DANYCH DOR_ZQ <= #980  NA 2020 1.07(x86)'

# --- the Wizard, forward and back, then cancel -----------------------------------
tmux_start zq
tmux_run zq "$start"
tmux_wait_for zq "$banner" 60 || fail "no banner"
tmux_row zq 1 | grep -qF -- "$banner" || fail "banner not on row 1"
rule=$(printf '─%.0s' $(seq 79))
tmux_row zq 2 | grep -qF -- "$rule" || fail "row 2 is not a rule: '$(tmux_row zq 2)'"
tmux_wait_for zq "Lokalizacja" || fail "no page 1"
tmux_wait_for zq "PgDn-Dalej" || fail "no status line on page 1"
# A Polish letter typed on the terminal reaches the focused path field as one
# character; Ctrl+P puts the field back as it was.
tmux_cmd send-keys -t zq -l 'ż'
tmux_wait_for zq 'DOR_2019\ż' 10 || fail "typed ż did not reach the path field"
tmux_send zq C-p
tmux_wait_gone zq 'DOR_2019\ż' 10 || fail "Ctrl+P did not restore the field"

tmux_send zq PageDown
tmux_wait_for zq "Dane globalne" || fail "PgDn did not reach page 2"
tmux_send zq PageDown
tmux_wait_for zq "Dane firmowe" || fail "PgDn did not reach page 3"
tmux_send zq PageDown
tmux_wait_for zq "START KOPIOWANIA" || fail "PgDn did not reach page 4"
tmux_wait_for zq "F5-ZACZNIJ" || fail "no F5 on the status line of page 4"
tmux_send zq PageUp
tmux_wait_for zq "Dane firmowe" || fail "PgUp did not go back to page 3"
tmux_send zq PageDown
tmux_wait_for zq "START KOPIOWANIA" || fail "PgDn did not return to page 4"

tmux_cancel zq 60
tmux_kill zq

# --- the usage text, on the console in code page 852 ------------------------------
tmux_start usage
tmux_run usage "$start '?'"
tmux_wait_for usage "Katalogu w którym jest program zq18-20.EXE można umieścić" 60 ||
  fail "no usage text"
tmux_send usage Enter
code=$(tmux_exit_code usage 60) || fail "the program did not end after the usage text"
[ "$code" = 0 ] || fail "exit code $code after the usage text"
tmux_kill usage

# --- a pane too small for 80x25: a notice, then the screen anyway -----------------
tmux_start small 60 20
tmux_run small "$start"
tmux_wait_for small "potrzeba 80 x 25" 60 || fail "no notice in a 60x20 pane"
tmux_send small Space
tmux_wait_for small "PgDn-Dalej" || fail "no screen after a key on the notice"
tmux_cancel small 60
tmux_kill small

# --- no console at all: a message and an end, not a wait for keys -----------------
TMUX_TEST_SESSION=
(cd "$tree/DOR_2020" && ZQ_WIN_TIMEOUT=60 bash "$winrun" zq18-20.exe </dev/null \
  >"$TMUX_TEST_DIR/none.out" 2>"$TMUX_TEST_DIR/none.err")
code=$?
[ "$code" = 1 ] || fail "exit code $code without a console (want 1); $(cat "$TMUX_TEST_DIR/none.err")"
grep -qF "Brak okna konsoli" "$TMUX_TEST_DIR/none.err" || fail "no message without a console"

echo "wizard walk under wine passed"
