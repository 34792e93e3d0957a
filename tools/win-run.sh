#!/usr/bin/env bash
# Runs a Windows program of the cross build under wine, as the Windows tests do:
#   tools/win-run.sh PROGRAM.exe [ARGUMENTS...]
# The wine prefix is private to the build (ZQ_WINEPREFIX, or wine-prefix beside the
# program), made on first use without dialogs or downloads, under a lock so that
# tests started together make it once. Exit code 77 (skipped, for ctest) when wine
# is missing or cannot set up its prefix; otherwise the program's own. A program
# still running after ZQ_WIN_TIMEOUT seconds (default 600) is stopped with 124.
set -u

program=${1:?usage: win-run.sh PROGRAM.exe [ARGUMENTS...]}
shift

skip() {
  echo "wine: $*: skipped" >&2
  exit 77
}

wine=$(command -v wine || true)
[ -n "$wine" ] || wine=$(command -v wine64 || true)
[ -n "$wine" ] || skip "wine is not installed"
[ -f "$program" ] || {
  echo "win-run.sh: no program at $program" >&2
  exit 2
}

prefix=${ZQ_WINEPREFIX:-$(cd "$(dirname "$program")" && pwd)/wine-prefix}
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialog on the first start, no desktop integration.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.zq-ready" ]; then
    if ! timeout 300 "$wine" wineboot --init >"$prefix.log" 2>&1 ||
      ! timeout 60 wineserver -w >>"$prefix.log" 2>&1 || [ ! -f "$prefix/system.reg" ]; then
      exit 1
    fi
    touch "$prefix/.zq-ready"
  fi
) 9>"$prefix.lock" || skip "wine could not set up its prefix (see $prefix.log)"

timeout --kill-after=10 "${ZQ_WIN_TIMEOUT:-600}" "$wine" "$program" "$@"
code=$?
if [ "$code" = 124 ] || [ "$code" = 137 ]; then
  echo "win-run.sh: $program did not end within ${ZQ_WIN_TIMEOUT:-600} s" >&2
  wineserver -k >/dev/null 2>&1 || true
  exit 124
fi
exit "$code"
