#!/usr/bin/env bash
# Bytes the program sends to a real terminal for one keystroke in an input line and for
# a Wizard page switch, read from the pane's output stream in tmux.
# Usage: bench/terminal_bytes.sh build/zq18-20 build/zq-sample
set -eu
program=$(realpath "${1:-build/zq18-20}")
sample=$(realpath "${2:-build/zq-sample}")
work=$(mktemp -d)
trap 'tmux -L zqbytes kill-server 2>/dev/null; rm -rf "$work"' EXIT
"$sample" --out "$work/tree" --program-dir "$work/tree/DOR_2020" >/dev/null
cp "$program" "$work/tree/DOR_2020/zq18-20"
out="$work/out"
: >"$out"
t() { tmux -L zqbytes "$@"; }
t new-session -d -x 80 -y 25 -s b "cd $work/tree/DOR_2020 && TERM=xterm-256color ./zq18-20"
sleep 1.5
t pipe-pane -t b -o "cat >> $out"
sleep 0.5
measure() {  # measure LABEL KEYS...
  local label=$1
  shift
  local before after
  sleep 0.6  # let the clock's once-a-second update fall outside the window
  before=$(stat -c %s "$out")
  t send-keys -t b "$@"
  sleep 0.4
  after=$(stat -c %s "$out")
  printf '%-36s %6d bytes\n' "$label" $((after - before))
}
measure "clock tick (one second, idle)" ""
measure "one character typed in an input line" End x
measure "Backspace in an input line" BSpace
measure "Tab to the next control" Tab
measure "page switch 1 -> 2 (PgDn)" PageDown
measure "page switch 2 -> 3 (PgDn)" PageDown
measure "page switch 3 -> 2 (PgUp)" PageUp
