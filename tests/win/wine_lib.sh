# Helpers of the tests that run the Windows build under wine in tmux panes. Source
# after tests/tmux/lib.sh, with the test's arguments: zq18-20.exe zq-sample.exe
# win-run.sh. Sets `program`, `sample` and `winrun` (an absolute path), skips the
# test when wine is missing, and ends whatever wine still runs before the test
# directory goes.

program=${1:?usage: $(basename "$0") zq18-20.exe zq-sample.exe win-run.sh}
sample=${2:?usage: $(basename "$0") zq18-20.exe zq-sample.exe win-run.sh}
winrun=${3:?usage: $(basename "$0") zq18-20.exe zq-sample.exe win-run.sh}
command -v wine >/dev/null 2>&1 || command -v wine64 >/dev/null 2>&1 || {
  echo "wine is not installed: skipped"
  exit 77
}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-$TMUX_TEST_DIR/wine-prefix}
winrun=$(cd "$(dirname "$winrun")" && pwd)/$(basename "$winrun")
# The panes go first, then whatever wine still runs in the trees, then the trees.
wine_cleanup() {
  tmux_cmd kill-server >/dev/null 2>&1 || true
  WINEPREFIX=$ZQ_WINEPREFIX timeout 20 wineserver -w >/dev/null 2>&1 || true
  tmux_cleanup
}
trap wine_cleanup EXIT

# windows_path PATH: a path of this host as the Windows program reaches it.
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }

# wine_sample DIR ARGUMENTS...: the sample maker under wine writes a Source and a
# Target tree into DIR, with zq18-20.PTH and zq18-20.LST in DIR/PROGRAM_DIR when
# --program-dir is among the arguments (given as a host path); its listing goes to
# $TMUX_TEST_DIR/sample.txt. Skips the test when wine cannot start.
wine_sample() {
  local dir=$1 code
  shift
  local args=()
  while [ $# -gt 0 ]; do
    if [ "$1" = --program-dir ]; then
      args+=(--program-dir "$(windows_path "$2")")
      shift 2
    else
      args+=("$1")
      shift
    fi
  done
  bash "$winrun" "$sample" --out "$(windows_path "$dir")" "${args[@]}" \
    >"$TMUX_TEST_DIR/sample.txt" 2>"$TMUX_TEST_DIR/sample.err"
  code=$?
  if [ "$code" = 77 ]; then
    cat "$TMUX_TEST_DIR/sample.err"
    exit 77
  fi
  [ "$code" = 0 ] || fail "the sample maker failed ($code): $(cat "$TMUX_TEST_DIR/sample.err")"
  [ -f "$dir/DOR_2019/SPISFIRM.DAT" ] || fail "no sample tree in $dir"
}
