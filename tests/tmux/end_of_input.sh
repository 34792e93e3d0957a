#!/usr/bin/env bash
# Standard input that ends (/dev/null, a file of a few keys) cannot keep the
# program waiting: the Esc keys of the ended input close what they can, and when
# the Wizard still has not ended, the program ends with exit code 1 and one line on
# standard error. Keys that do end the program end it as they would from a person.
# The last part shows the terminal given back, with the line on the normal screen.
# Usage: end_of_input.sh PATH_TO_zq18-20 PATH_TO_zq-sample
set -u

program=${1:?usage: end_of_input.sh zq18-20 zq-sample}
sample=${2:?usage: end_of_input.sh zq18-20 zq-sample}
message="Koniec danych wejściowych: program kończy pracę."
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zq-eoi.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

die() {
  echo "FAIL: $*" >&2
  exit 1
}

# start NAME DIR STDIN ARGS...: the program in DIR in the background, standard
# error in $scratch/NAME.err; ended by timeout if it hangs. Each run waits some
# seconds for its Esc keys, so they run side by side.
declare -A pids
start() {
  local name=$1 dir=$2 input=$3
  shift 3
  (cd "$dir" && exec timeout 40 bin/zq18-20 "$@" <"$input" >"$scratch/$name.out" \
    2>"$scratch/$name.err") &
  pids[$name]=$!
}

# expect_ended NAME: exit code 1, the line and nothing else on standard error.
expect_ended() {
  wait "${pids[$1]}"
  local code=$?
  [ "$code" != 124 ] || die "$1: the program was still waiting for keys after 40 s"
  [ "$code" = 1 ] || die "$1: exit code $code (want 1); stderr: $(cat "$scratch/$1.err")"
  [ "$(cat "$scratch/$1.err")" = "$message" ] || die "$1: stderr was: $(cat "$scratch/$1.err")"
}

work="$scratch/run"
"$sample" --out "$work" >/dev/null || die "sample generator failed"
mkdir -p "$work/bin"
cp "$program" "$work/bin/zq18-20"
mkdir -p "$scratch/empty/bin"
cp "$program" "$scratch/empty/bin/zq18-20"

# Nothing at all to read: the Wizard's first page and its cancel question.
start null "$work" /dev/null "$work/DOR_2020"
# A few keys, then the end: the Source path typed and a page further on.
printf '\031%s\033[6~\033[6~' "$work/DOR_2019" >"$scratch/keys"
start keys "$work" "$scratch/keys" "$work/DOR_2020"
# An empty directory with no installation at all.
start empty "$scratch/empty" /dev/null
expect_ended null
expect_ended keys
expect_ended empty

# Esc, "t" to give up the conversion, Enter on the closing prompt: an ordinary end.
printf '\033[27ut\r' >"$scratch/cancel"
(cd "$work" && timeout 40 bin/zq18-20 "$work/DOR_2020" <"$scratch/cancel" >"$scratch/cancel.out" \
  2>"$scratch/cancel.err")
code=$?
[ "$code" = 0 ] || die "cancel: exit code $code (want 0); stderr: $(cat "$scratch/cancel.err")"
[ ! -s "$scratch/cancel.err" ] || die "cancel: stderr was: $(cat "$scratch/cancel.err")"

# On a terminal: the screen is drawn, then given back, and the line stays.
if ! command -v tmux >/dev/null 2>&1; then
  echo "end of input passed (no tmux: the terminal part left out)"
  exit 0
fi
. "$(dirname "$0")/lib.sh"
trap 'tmux_cleanup; rm -rf "$scratch"' EXIT
tmux_start zq
tmux_run zq "cd $work && bin/zq18-20 $work/DOR_2020 </dev/null"
tmux_wait_for zq "Rezygnujesz z konwersji danych na nowy rok ?" || fail "no Wizard on the terminal"
code=$(tmux_exit_code zq 40) || fail "the program did not end on the terminal"
[ "$code" = 1 ] || fail "exit code $code on the terminal (want 1)"
tmux_wait_for zq "$message" 5 || fail "no message on the terminal"
tmux_capture zq | grep -qF "Rezygnujesz" && fail "the Wizard is still on the terminal"
tmux_run zq "echo still-usable"
tmux_wait_for zq "still-usable" 5 || fail "the shell does not answer after the program"
echo "end of input passed"
