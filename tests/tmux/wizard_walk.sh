#!/usr/bin/env bash
# A person walks the Wizard on a generated installation: types the Source path on
# page 1, goes to page 4 with PgDn and back with PgUp, cancels with Esc, confirms,
# and the program ends with "Nacisnij Enter" and exit code 0.
# Usage: wizard_walk.sh PATH_TO_zq18-20 PATH_TO_zq-sample
set -u
. "$(dirname "$0")/lib.sh"

program=${1:?usage: wizard_walk.sh zq18-20 zq-sample}
sample=${2:?usage: wizard_walk.sh zq18-20 zq-sample}
work="$TMUX_TEST_DIR/run"
"$sample" --out "$work" >/dev/null || fail "sample generator failed"
mkdir -p "$work/bin"
cp "$program" "$work/bin/zq18-20"

# No path file: the Source path is typed on page 1, the Target given as the argument.
tmux_start zq
tmux_run zq "cd $work && bin/zq18-20 $work/DOR_2020"
tmux_wait_for zq " Lokalizacja " || fail "no page 1"
tmux_send zq C-y
tmux_cmd send-keys -t zq -l "$work/DOR_2019"
sleep 0.3
tmux_send zq PageDown
tmux_wait_for zq " Dane globalne, konfiguracyjne " || fail "page 1 did not accept the typed path"
tmux_send zq PageDown
tmux_wait_for zq " Dane firmowe " || fail "no page 3"
tmux_send zq PageDown
tmux_wait_for zq " START KOPIOWANIA " || fail "no page 4"
tmux_send zq PageDown  # no next page: stays
sleep 0.3
tmux_capture zq | grep -qF " START KOPIOWANIA " || fail "PgDn left page 4"
tmux_send zq PageUp
tmux_wait_for zq " Dane firmowe " || fail "PgUp did not go back to page 3"
tmux_send zq PageUp
tmux_send zq PageUp
tmux_wait_for zq " Lokalizacja " || fail "PgUp did not go back to page 1"
tmux_capture zq | grep -qF "$work/DOR_2019" || fail "typed path not kept on page 1"

tmux_cancel zq
[ ! -e "$work/bin/zq18-20.PTH" ] || fail "a path file was written without the save box"
echo "wizard walk passed"
