#!/usr/bin/env bash
# On a wine without its 32-bit half the 32-bit program cannot start: tools/win-run.sh
# must report it as skipped (exit code 77, saying why), so that its tests show as
# skipped and never as passed. Such a wine is stood for by Debian's 64-bit launcher
# alone, with a fresh prefix. Registered for the 32-bit build only.
# Usage: no_wine32.sh zq18-20.exe zq-sample.exe tools/win-run.sh
set -u
program=${1:?usage: no_wine32.sh zq18-20.exe zq-sample.exe win-run.sh}
winrun=${3:?usage: no_wine32.sh zq18-20.exe zq-sample.exe win-run.sh}
wine64=${ZQ_WINE64:-/usr/lib/wine/wine64}
[ -x "$wine64" ] || {
  echo "no 64-bit wine launcher at $wine64 to stand for a 64-bit-only wine: skipped"
  exit 77
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/zq-nowine32.XXXXXX")
trap 'WINEPREFIX=$dir/prefix timeout 20 wineserver -k >/dev/null 2>&1; rm -rf "$dir"' EXIT
fail() {
  echo "FAIL: $*"
  echo "--- standard error:"
  cat "$dir/err"
  exit 1
}

ZQ_WINE=$wine64 ZQ_WINEPREFIX=$dir/prefix ZQ_WIN_TIMEOUT=60 bash "$winrun" "$program" '/?' \
  >"$dir/out" 2>"$dir/err" </dev/null
code=$?
[ "$code" = 77 ] || fail "exit code $code, not 77 (skipped)"
grep -q "32-bit wine" "$dir/err" || fail "the reason does not name 32-bit wine"
[ ! -s "$dir/out" ] || fail "the program printed something: $(head -c 200 "$dir/out")"
echo "a wine without 32-bit support reports the 32-bit program as skipped"
