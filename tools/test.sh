#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v tmux >/dev/null || need+=(tmux)
command -v iconv >/dev/null || need+=(libc-bin)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  else
    sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  fi
fi

build=${ZQ_TEST_BUILD:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"

# --- Fuzzing: every libFuzzer target of fuzz/ for a short while (ZQ_FUZZ_SECONDS in all,
# 180 by default, at most 15 a target; 0 leaves it out), built with clang on its own.
cd "$OLDPWD"
fuzz_seconds=${ZQ_FUZZ_SECONDS:-180}
fuzz_failed=0
if [ "$fuzz_seconds" != 0 ]; then
  fuzz_need=()
  command -v clang++ >/dev/null || fuzz_need+=(clang)
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
    fuzz_need+=(libclang-rt-dev)
  if [ ${#fuzz_need[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq &&
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${fuzz_need[@]}" >/dev/null ||
      echo "tools/test.sh: could not install ${fuzz_need[*]}" >&2
  fi
  if command -v clang++ >/dev/null; then
    fuzz_build=${ZQ_FUZZ_BUILD:-build-fuzz}
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZQ_FUZZ=ON -DZQ_TESTS=OFF -DZQ_BENCH=OFF >/dev/null
    cmake --build "$fuzz_build" -j"$(nproc)"
    # A finding fails the whole run, after the Windows part below has run too.
    fuzz/run.sh "$fuzz_build" "$fuzz_seconds" || fuzz_failed=1
  else
    echo "tools/test.sh: no clang: the fuzz targets were not run" >&2
  fi
fi

# --- Windows build: cross-compiled with MinGW-w64 and tested under wine ------------
# The test programs of the headless backend, the Win32 backend's own tests, the lock
# exclusion of two processes and the Wizard walk of zq18-20.exe in a tmux pane.
# Without a working wine those tests are reported as skipped.
[ -f tools/win-run.sh ] || { echo "tools/test.sh: not in the source tree" >&2; exit 1; }
win_need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || win_need+=(g++-mingw-w64-x86-64-posix)
[ -f /usr/src/googletest/CMakeLists.txt ] || win_need+=(googletest)
command -v wine >/dev/null || win_need+=(wine)
[ -x /usr/lib/wine/wine64 ] || win_need+=(wine64)
command -v tmux >/dev/null || win_need+=(tmux)
command -v script >/dev/null || win_need+=(bsdutils)
# wine runs as a Polish system; the Polish locale is made from these sources.
[ -f /usr/share/i18n/locales/pl_PL ] && command -v localedef >/dev/null || win_need+=(locales)
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
if [ ${#win_need[@]} -gt 0 ]; then
  # Recommends would bring fonts and desktop pieces the tests do not use (32-bit wine,
  # which the 32-bit build below needs, is asked for there).
  if ! { "${sudo[@]}" apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${win_need[@]}"; } >/dev/null; then
    echo "tools/test.sh: could not install ${win_need[*]}" >&2
  fi
fi
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  win_build=${ZQ_WIN_BUILD:-build-win}
  cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$win_build" -j"$(nproc)"
  cd "$win_build"
  ctest --output-on-failure -j"$(nproc)"
else
  echo "tools/test.sh: no MinGW-w64 compiler: the Windows build and its tests were skipped" >&2
fi

# --- 32-bit Windows build: the program the offices install ---------------------------
# Built with the i686 MinGW-w64 compiler and tested under 32-bit wine in a 32-bit
# prefix, as on 32-bit Windows: the whole Windows suite again (the layers' tests, the
# backend's own with files of 2 GiB and more, the lock of two processes, the Wizard
# walk and the whole run carrying a generated office in a tmux pane) and the skip on
# a wine without its 32-bit half. Where 32-bit wine cannot start, the tests are
# reported as skipped. Then the release bundle is made and its contents checked.
cd "$root"
w32_need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || w32_need+=(g++-mingw-w64-i686-posix)
dpkg -s wine32:i386 >/dev/null 2>&1 || w32_need+=(wine32:i386)
if [ ${#w32_need[@]} -gt 0 ] && command -v dpkg >/dev/null; then
  {
    # 32-bit wine comes from the i386 architecture, which a 64-bit Debian has to add.
    if [ "$(dpkg --print-architecture)" = amd64 ] &&
      ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -qq &&
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${w32_need[@]}"
  } >/dev/null 2>&1 || echo "tools/test.sh: could not install ${w32_need[*]}" >&2
fi
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  win32_build=${ZQ_WIN32_BUILD:-build-win32}
  cmake -S . -B "$win32_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$win32_build" -j"$(nproc)"
  (cd "$win32_build" && ctest --output-on-failure -j"$(nproc)")
  if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    ZQ_WIN32_BUILD=$win32_build ZQ_WIN_BUILD=${win_build:-build-win} bash tests/release/release_test.sh
  fi
else
  echo "tools/test.sh: no i686 MinGW-w64 compiler: the 32-bit Windows build and its tests were skipped" >&2
fi
if [ "$fuzz_failed" != 0 ]; then
  echo "tools/test.sh: a fuzz target found a fault (the input is named above)" >&2
  exit 1
fi
