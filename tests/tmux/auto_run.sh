#!/usr/bin/env bash
# An office walks the Wizard once in a real terminal, saves its choices with F2 on the
# start page and cancels; the settings file then carries the office unattended: no key
# is pressed, every firm offered reaches the Target tree, the journal beside the
# program holds the report, and the exit code says whether a firm had errors (0 or 1).
# A settings file that does not exist ends with 2 and writes nothing; the same
# settings as a dry run (/TEST) write nothing in either tree.
# Usage: auto_run.sh PATH_TO_zq18-20 PATH_TO_zq-sample
set -u
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/firm_run_lib.sh"

program=${1:?usage: auto_run.sh zq18-20 zq-sample}
sample=${2:?usage: auto_run.sh zq18-20 zq-sample}
work="$TMUX_TEST_DIR/run"
"$sample" --out "$work" --firms 8 --seed 2 --program-dir "$work/prog" >"$TMUX_TEST_DIR/sample.txt" ||
  fail "sample generator failed"
cp "$program" "$work/prog/zq18-20"
sample_firms "$TMUX_TEST_DIR/sample.txt"
tree_sums "$work/DOR_2020" >"$TMUX_TEST_DIR/target.before"

tmux_start zq
tmux_run zq "cd $work/prog && ./zq18-20"
tmux_wait_for zq "PROGRAM DO PRZEPCHNI" || fail "no banner"
tmux_wait_for zq " Lokalizacja " || fail "no page 1"
for page in " Dane globalne, konfiguracyjne " " Dane firmowe " " START KOPIOWANIA "; do
  tmux_send zq PageDown
  tmux_wait_for zq "$page" || fail "no page $page"
done
tmux_wait_for zq "F2-Zapisz do /AUTO" || fail "no F2 on the status line of page 4"
tmux_send zq F2
for _ in $(seq 50); do [ -s "$work/prog/zq18-20.AUT" ] && break; sleep 0.1; done
[ -s "$work/prog/zq18-20.AUT" ] || fail "F2 wrote no settings file"
tmux_cancel zq

# Firms whose VAT proportion is asked get one instead of being left out.
sed -i 's/^\(proporcja VAT[^=]*\)=-1/\1=50/' "$work/prog/zq18-20.AUT"

tmux_run zq "./zq18-20 /AUTO:brak.ini"
code=$(tmux_exit_code zq) || fail "the refused run did not end"
[ "$code" = 2 ] || fail "exit code $code for a missing settings file"
tree_sums "$work/DOR_2020" >"$TMUX_TEST_DIR/target.after"
cmp -s "$TMUX_TEST_DIR/target.before" "$TMUX_TEST_DIR/target.after" || fail "a refused run wrote"

# The same settings as a dry run first: the whole run, nothing written in either tree.
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.before"
tmux_run zq "TEMP=$TMUX_TEST_DIR ./zq18-20 /AUTO:zq18-20.AUT /TEST /LOG:proba.log"
code=$(tmux_exit_code zq 150) || fail "the dry run did not end without keys"
[ "$code" = 0 ] || [ "$code" = 1 ] || fail "exit code $code of the dry run"
tree_sums "$work/DOR_2020" >"$TMUX_TEST_DIR/target.after"
cmp -s "$TMUX_TEST_DIR/target.before" "$TMUX_TEST_DIR/target.after" || fail "the dry run wrote"
tree_sums "$work/DOR_2019" >"$TMUX_TEST_DIR/source.after"
cmp -s "$TMUX_TEST_DIR/source.before" "$TMUX_TEST_DIR/source.after" || fail "the dry run wrote the source"
grep -q "Zestawienie przeniesionych danych (PRÓBA)" "$work/prog/proba.log" || fail "no dry report"
ls -d "$TMUX_TEST_DIR"/ZQPROBA.* >/dev/null 2>&1 && fail "the scratch tree was left"

tmux_run zq "./zq18-20 /AUTO:zq18-20.AUT"
code=$(tmux_exit_code zq 150) || fail "the unattended run did not end without keys"
[ "$code" = 0 ] || [ "$code" = 1 ] || fail "exit code $code"
check_carried "$work"
grep -q "Zestawienie przeniesionych danych" "$work/prog/zq18-20.LOG" || fail "no report in the journal"
grep -q "kod wyjścia $code" "$work/prog/zq18-20.LOG" || fail "no exit code in the journal"

tmux_send zq "exit" Enter
tmux_wait_gone zq "$" 5 >/dev/null 2>&1 || true
sleep 0.3
echo "unattended run passed: ${#firms[@]} firms, exit code $code"
