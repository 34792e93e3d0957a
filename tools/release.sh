#!/usr/bin/env bash
# Builds the release and packs what the offices install:
#   dist/zq18-20-VERSION-win32.zip   zq18-20.exe (the 32-bit Windows program, which
#                                    starts on 32- and 64-bit Windows 7 and later),
#                                    INSTRUKCJA.TXT (the guide, code page 1250),
#                                    example zq18-20.PTH and zq18-20.LST, and
#                                    SHA256SUMS.TXT over those four
# and beside it the 64-bit Windows program and the Linux one, with dist/SHA256SUMS
# over everything in dist. VERSION is the one the banner shows (src/driver/version.h).
# The Windows programs come from the same Release trees as tools/test.sh tests
# (build-win32, build-win; ZQ_WIN32_BUILD, ZQ_WIN_BUILD), the Linux one from
# build-release. Stops with a message when a compiler is missing, or when the 32-bit
# program is not a 32-bit program depending on system DLLs only.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/pe-lib.sh

die() {
  echo "release.sh: $*" >&2
  exit 1
}

version=$(sed -n 's/^inline constexpr std::string_view kVersion = "\([0-9][0-9.]*\)";$/\1/p' \
  src/driver/version.h)
[ -n "$version" ] || die "no version in src/driver/version.h"

# compiler TRIPLET PACKAGE: the MinGW-w64 C++ compiler of TRIPLET, or a stop.
compiler() {
  command -v "$1-g++-posix" || command -v "$1-g++" ||
    die "no $1 C++ compiler: install the Debian package $2 (apt-get install $2)"
}
command -v cmake >/dev/null || die "cmake is missing (apt-get install cmake)"
command -v g++ >/dev/null || die "no C++ compiler for the Linux program (apt-get install g++)"
compiler i686-w64-mingw32 g++-mingw-w64-i686-posix >/dev/null
compiler x86_64-w64-mingw32 g++-mingw-w64-x86-64-posix >/dev/null
objdump=$(command -v i686-w64-mingw32-objdump) ||
  die "no i686-w64-mingw32-objdump (Debian package binutils-mingw-w64-i686)"

jobs=$(nproc 2>/dev/null || echo 2)
# build DIR [CMAKE OPTIONS...]: a Release build of the program alone.
build() {
  local dir=$1
  shift
  echo "release.sh: building $dir" >&2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" --target zq18-20 >/dev/null
}
win32=${ZQ_WIN32_BUILD:-build-win32}
win64=${ZQ_WIN_BUILD:-build-win}
linux=${ZQ_RELEASE_BUILD:-build-release}
build "$win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
build "$win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
build "$linux" -DZQ_TESTS=OFF -DZQ_BENCH=OFF

exe=$win32/zq18-20.exe
[ "$(pe_machine "$exe")" = 014c ] || die "$exe is not a 32-bit Windows program"
[ "$(pe_machine "$win64/zq18-20.exe")" = 8664 ] || die "$win64/zq18-20.exe is not a 64-bit one"
# Nothing beside the .exe is installed: every DLL it needs must come with Windows.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|msvcrt)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || die "no DLL list in $exe"
while read -r dll; do
  echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls" ||
    die "$exe needs $dll, which Windows does not have"
done <<<"$dlls"

dist=${ZQ_DIST:-dist}
name=zq18-20-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist" "$stage/$name-win32"
cp "$exe" "$stage/$name-win32/zq18-20.exe"
cp doc/INSTRUKCJA.TXT doc/zq18-20.PTH doc/zq18-20.LST "$stage/$name-win32/"
(
  cd "$stage/$name-win32"
  # CR LF, so that Notepad shows it as lines.
  sha256sum zq18-20.exe INSTRUKCJA.TXT zq18-20.PTH zq18-20.LST | sed 's/$/\r/' >SHA256SUMS.TXT
)
# The files dated as the last commit, so the same sources pack to the same zip.
stamp=$(TZ=UTC git log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S UTC' 2>/dev/null ||
  date -u '+%Y-%m-%d %H:%M:%S UTC')
zip=$dist/$name-win32.zip
rm -f "$zip"
(
  cd "$stage/$name-win32"
  cmake -E tar cf "$stage/bundle.zip" --format=zip --mtime="$stamp" \
    zq18-20.exe INSTRUKCJA.TXT zq18-20.PTH zq18-20.LST SHA256SUMS.TXT
)
mv "$stage/bundle.zip" "$zip"
cp "$win64/zq18-20.exe" "$dist/$name-win64.exe"
cp "$linux/zq18-20" "$dist/$name-linux-$(uname -m)"
(
  cd "$dist"
  sha256sum "$name-win32.zip" "$name-win64.exe" "$name-linux-$(uname -m)" >SHA256SUMS
)
echo "$zip"
