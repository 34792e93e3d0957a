#!/usr/bin/env bash
# Runs a Windows program of the cross build under wine, as the Windows tests do:
#   tools/win-run.sh PROGRAM.exe [ARGUMENTS...]
# The wine prefix is private to the build (ZQ_WINEPREFIX, or wine-prefix beside the
# program), made on first use without dialogs or downloads, under a lock so that
# tests started together make it once. Exit code 77 (skipped, for ctest) when wine
# is missing or cannot set up its prefix; otherwise the program's own. A program
# still running after ZQ_WIN_TIMEOUT seconds (default 600) is stopped with 124.
# With ZQ_WIN_TTY set the program runs on a terminal of its own (script), so that it
# has a console, and its output is shown when it ends.
# wine runs as a Polish Windows, with the code pages of one (ANSI 1250, OEM 852):
# wine takes them from the locale, which is made beside the prefix when the machine
# lacks it (exit code 77 when it cannot be made).
# A 32-bit program runs in a 32-bit prefix, as on a 32-bit Windows; a wine without its
# 32-bit half cannot make one, and the program is reported as skipped (77), never run
# in a way that could pass. ZQ_WINE names the wine launcher when it is not `wine`.
set -u

program=${1:?usage: win-run.sh PROGRAM.exe [ARGUMENTS...]}
shift

skip() {
  echo "wine: $*: skipped" >&2
  exit 77
}

wine=${ZQ_WINE:-$(command -v wine || true)}
[ -n "$wine" ] || wine=$(command -v wine64 || true)
[ -n "$wine" ] || skip "wine is not installed"
[ -f "$program" ] || {
  echo "win-run.sh: no program at $program" >&2
  exit 2
}

. "$(dirname "$0")/pe-lib.sh"
case $(pe_machine "$program") in
  014c) arch=win32 ;;
  *) arch=win64 ;;
esac

prefix=${ZQ_WINEPREFIX:-$(cd "$(dirname "$program")" && pwd)/wine-prefix}
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialog on the first start, no desktop integration.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
export WINEARCH=$arch
unset DISPLAY WAYLAND_DISPLAY

# One prefix holds one kind of Windows; the other kind's programs need their own.
if [ -f "$prefix/system.reg" ] && ! grep -q "^#arch=$arch\$" "$prefix/system.reg"; then
  echo "win-run.sh: $prefix is not a $arch prefix; give $program a prefix of its own (ZQ_WINEPREFIX)" >&2
  exit 2
fi

mkdir -p "$(dirname "$prefix")"
# The Polish locale: wine reads its code pages from the name and needs the locale
# itself to give Polish file names to the host file system.
# (Handed to wine only: this shell would warn that it cannot load the locale.)
polish=(LC_ALL=pl_PL.UTF-8)
if ! locale -a 2>/dev/null | grep -qix 'pl_PL.utf-\?8'; then
  LOCPATH=$prefix-locale
  polish+=(LOCPATH="$LOCPATH")
  (
    flock 9
    [ -f "$LOCPATH/pl_PL.UTF-8/LC_CTYPE" ] ||
      {
        # localedef may warn and still make the locale: what it made counts.
        mkdir -p "$LOCPATH" && localedef -i pl_PL -f UTF-8 "$LOCPATH/pl_PL.UTF-8"
        [ -f "$LOCPATH/pl_PL.UTF-8/LC_CTYPE" ]
      } >"$prefix-locale.log" 2>&1
  ) 9>"$prefix-locale.lock" || skip "no Polish locale for wine (localedef: see $prefix-locale.log)"
fi
unset LANGUAGE
wine=(env "${polish[@]}" "$wine")

(
  flock 9
  if [ ! -f "$prefix/.zq-ready" ]; then
    if ! timeout 300 "${wine[@]}" wineboot --init >"$prefix.log" 2>&1 ||
      ! timeout 60 wineserver -w >>"$prefix.log" 2>&1 || [ ! -f "$prefix/system.reg" ]; then
      exit 1
    fi
    # A temporary directory no longer than /tmp: tests show paths in fixed-width boxes.
    mkdir -p "$prefix/drive_c/t"
    for name in TEMP TMP; do
      timeout 60 "${wine[@]}" reg add 'HKCU\Environment' /v "$name" /t REG_SZ /d 'C:\t' /f \
        >>"$prefix.log" 2>&1 || exit 1
    done
    timeout 60 wineserver -w >>"$prefix.log" 2>&1
    touch "$prefix/.zq-ready"
  fi
) 9>"$prefix.lock" || {
  [ "$arch" = win32 ] &&
    skip "32-bit wine could not set up its prefix; is 32-bit wine installed (Debian: wine32:i386)? (see $prefix.log)"
  skip "wine could not set up its prefix (see $prefix.log)"
}

limit=${ZQ_WIN_TIMEOUT:-600}
if [ -n "${ZQ_WIN_TTY:-}" ] && command -v script >/dev/null 2>&1; then
  # A program that needs a console gets a terminal: wine makes a console only on
  # one. Its output goes to a file, not through the terminal the console draws on.
  log=$(mktemp "${TMPDIR:-/tmp}/zq-win-run.XXXXXX")
  command=$(printf '%q ' "${wine[@]}" "$program" "$@")
  timeout --kill-after=10 "$limit" script -qec "$command >$(printf '%q' "$log") 2>&1" /dev/null \
    </dev/null >/dev/null
  code=$?
  cat "$log"
  rm -f "$log"
else
  # On a terminal the program must stay in the foreground to read it (timeout would
  # otherwise run it in a process group of its own, stopped at its first read).
  foreground=()
  [ -t 0 ] && foreground=(--foreground)
  timeout "${foreground[@]}" --kill-after=10 "$limit" "${wine[@]}" "$program" "$@"
  code=$?
fi
if [ "$code" = 124 ] || [ "$code" = 137 ]; then
  echo "win-run.sh: $program did not end within $limit s" >&2
  env "${polish[@]}" wineserver -k >/dev/null 2>&1 || true
  exit 124
fi
exit "$code"
