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

program=${1:?usage: firm_run_e2e.sh zq18-20 zq-sample}
sample=${2:?usage: firm_run_e2e.sh zq18-20 zq-sample}
work="$TMUX_TEST_DIR/run"
"$sample" --out "$work" --firms 8 --seed 2 --program-dir "$work/prog" >"$TMUX_TEST_DIR/sample.txt" ||
  fail "sample generator failed"
cp "$program" "$work/prog/zq18-20"

# The firms the selection will offer, by directory (the first word of their line).
mapfile -t firms < <(grep -F '(to carry over)' "$TMUX_TEST_DIR/sample.txt" | awk '{print $1}')
[ ${#firms[@]} -ge 3 ] || fail "the sample offers too few firms"
carried=$(grep -cF '(already in DOR_2020)' "$TMUX_TEST_DIR/sample.txt")

tree_sums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.before"

tmux_start zq
tmux_run zq "cd $work/prog && ./zq18-20"
tmux_wait_for zq " Lokalizacja " || fail "no page 1"
tmux_wait_for zq "PROGRAM DO PRZEPCHNI" || fail "no banner"
tmux_send zq PageDown
tmux_wait_for zq " Dane globalne, konfiguracyjne " || fail "no page 2"
tmux_send zq PageDown
tmux_wait_for zq " Dane firmowe " || fail "no page 3"
tmux_send zq PageDown
tmux_wait_for zq " START KOPIOWANIA " || fail "no page 4"
tmux_send zq F5

# From here on the program asks what it needs; each question is answered as it comes
# (it is then the last line written), until the closing prompt.
last_line() { tmux_capture zq | sed -e 's/[[:space:]]*$//' | grep -v '^$' | tail -n 1; }
answered=0
end=$((SECONDS + 120))
while :; do
  [ "$SECONDS" -le "$end" ] || fail "the run did not reach its end"
  screen=$(tmux_capture zq)
  line=$(last_line)
  if grep -qF " BAZA FIRM " <<<"$screen"; then
    tmux_send zq F5
  elif [[ $line == *"(B/N/A) ?"* ]]; then
    tmux_send zq n
  elif [[ $line == "Napraw plik"* || $line == "mogę przenieść"* ]]; then
    tmux_send zq Space
  elif [[ $line == "Nacisnij Enter"* ]]; then
    break
  else
    sleep 0.2
    continue
  fi
  answered=$((answered + 1))
  [ "$answered" -le 40 ] || fail "too many questions"
  sleep 0.4
done
grep -qF "Koniec pracy kopiera danych DOR_ZQ na rok 2020" <<<"$screen" || fail "no closing line"
grep -qF "Nie dopisano" <<<"$screen" && fail "a firm was not added"
tmux_send zq Enter
code=$(tmux_exit_code zq) || fail "the program did not end"
[ "$code" = 0 ] || fail "exit code $code"

# The Target tree, firm by firm.
word() { od -An -tu2 -j "$2" -N 2 "$1" | tr -d ' '; }
for firm in "${firms[@]}"; do
  dir="$work/DOR_2020/$firm"
  [ -d "$dir" ] || fail "no Target directory $firm"
  marker="$dir/_zq_dor.rek"
  [ "$(stat -c %s "$marker")" = 256 ] || fail "$firm: marker not 256 bytes"
  for at in 0 2 4; do [ "$(word "$marker" $at)" = 2020 ] || fail "$firm: marker year at $at"; done
  [ "$(od -An -tu1 -j 7 -N 1 "$marker" | tr -d ' ')" = 1 ] || fail "$firm: marker flag"
  cmp -s <(tail -c 248 "$marker") <(tail -c 248 "$work/DOR_2019/$firm/_zq_dor.rek") ||
    fail "$firm: marker bytes 8..255 changed"
  [ "$(stat -c %s "$dir/2020_ROK.REK")" = 1536 ] || fail "$firm: no annual settings"
  for src in "$work/DOR_2019/$firm"/2020D4*; do
    [ -e "$src" ] || continue
    name=$(basename "$src")
    [ -e "$dir/${name:0:5}5${name:6}" ] || fail "$firm: no declaration for $name"
  done
  if [ -e "$work/DOR_2019/$firm/Cennik.txt" ]; then
    cmp -s "$work/DOR_2019/$firm/Cennik.txt" "$dir/Cennik20.txt" || fail "$firm: Cennik20.txt"
  fi
  if [ -e "$work/DOR_2019/$firm/km2020.rek" ]; then
    cmp -s "$work/DOR_2019/$firm/km2020.rek" "$dir/km2020.rek" || fail "$firm: km2020.rek"
  fi
done
# The first firm holds every kind of declaration: the negative one has its magnitude at
# 526 and 0 at 534, and loses its short last block.
first="$work/DOR_2020/${firms[0]}"
[ "$(stat -c %s "$first/2020D503.002")" = $((896 + 448)) ] || fail "short block not dropped"
[ -e "$first/2020D504.2020" ] || fail "a long declaration name was cut"

expected=$(((${#firms[@]} + carried) * 103))
[ "$(stat -c %s "$work/DOR_2020/SPISFIRM.DAT")" = "$expected" ] || fail "Target firm list size"

tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.after"
cmp -s "$TMUX_TEST_DIR/source.before" "$TMUX_TEST_DIR/source.after" || fail "the Source tree changed"
# The pane's shell leaves with its history written, before the test directory goes.
tmux_send zq "exit" Enter
tmux_wait_gone zq "$" 5 >/dev/null 2>&1 || true
sleep 0.3
echo "firm run passed: ${#firms[@]} firms, $answered answers"
