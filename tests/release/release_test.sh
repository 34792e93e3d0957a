#!/usr/bin/env bash
# tools/release.sh as a release is made: without a cross compiler it stops and names
# the package to install; with them it packs dist/zq18-20-VERSION-win32.zip holding
# exactly the 32-bit zq18-20.exe, the guide, the example path and list files and
# their checksums, every checksum right, and the programs beside it with theirs.
# Usage: release_test.sh (from anywhere; builds what is not built yet)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/pe-lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zq-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# --- a machine without MinGW-w64: a clear stop before anything is built -------------
mkdir "$work/bin"
for tool in bash dirname sed cmake g++; do
  ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
PATH=$work/bin bash "$root/tools/release.sh" >"$work/out" 2>"$work/err"
code=$?
[ "$code" != 0 ] || fail "release.sh went on without a cross compiler"
grep -q "g++-mingw-w64-i686" "$work/err" ||
  fail "the stop does not name the package: $(cat "$work/err")"

# --- the release --------------------------------------------------------------------
version=$(sed -n 's/^inline constexpr std::string_view kVersion = "\(.*\)";$/\1/p' \
  "$root/src/driver/version.h")
ZQ_DIST=$work/dist bash "$root/tools/release.sh" >"$work/out" 2>"$work/err" ||
  fail "release.sh failed: $(cat "$work/err")"
zip=$work/dist/zq18-20-$version-win32.zip
[ -f "$zip" ] || fail "no $zip (dist holds: $(ls "$work/dist"))"
listed=$(cd "$work" && cmake -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listed" = "INSTRUKCJA.TXT SHA256SUMS.TXT zq18-20.LST zq18-20.PTH zq18-20.exe " ] ||
  fail "the zip holds: $listed"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
(cd "$work/unpacked" && tr -d '\r' <SHA256SUMS.TXT | sha256sum --quiet -c -) ||
  fail "a checksum in the zip does not match"
[ "$(tr -d '\r' <"$work/unpacked/SHA256SUMS.TXT" | wc -l)" = 4 ] || fail "SHA256SUMS.TXT does not cover the four files"
[ "$(pe_machine "$work/unpacked/zq18-20.exe")" = 014c ] || fail "zq18-20.exe is not a 32-bit program"
cmp -s "$work/unpacked/zq18-20.exe" "${ZQ_WIN32_BUILD:-$root/build-win32}/zq18-20.exe" ||
  fail "zq18-20.exe is not the program of the 32-bit build"
bash "$root/tests/release/guide_test.sh" "$work/unpacked/INSTRUKCJA.TXT" >/dev/null ||
  fail "INSTRUKCJA.TXT: $(bash "$root/tests/release/guide_test.sh" "$work/unpacked/INSTRUKCJA.TXT")"
grep -q $'^DOR_2019=.*\r$' "$work/unpacked/zq18-20.PTH" && grep -q $'^DOR_2020=.*\r$' "$work/unpacked/zq18-20.PTH" ||
  fail "zq18-20.PTH does not name both directories with CR LF"
(cd "$work/dist" && sha256sum --quiet -c SHA256SUMS) || fail "a checksum in dist does not match"
[ "$(pe_machine "$work/dist/zq18-20-$version-win64.exe")" = 8664 ] || fail "no 64-bit program in dist"
[ -x "$work/dist/zq18-20-$version-linux-$(uname -m)" ] || fail "no Linux program in dist"
echo "release $version: $listed"
