#!/usr/bin/env bash
# Installs what is missing, builds the program, makes a fresh sample pair of
# installations in ./demo and starts the program on them in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  else
    sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  fi
fi

build=${ZQ_DEMO_BUILD:-build}
demo=${ZQ_DEMO_DIR:-demo}

# Only the two programs: the demo needs neither the test framework nor the benchmarks.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZQ_TESTS=OFF -DZQ_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target zq18-20 zq-sample

# The program goes beside the 2020 installation, with the path file naming both trees
# and an extra file list.
rm -rf "$demo"
"$build/zq-sample" --out "$demo" --program-dir "$demo/DOR_2020"
cp "$build/zq18-20" "$demo/DOR_2020/"

if [ ! -t 0 ] || [ ! -t 1 ]; then
  echo "The sample is in $(cd "$demo" && pwd); run DOR_2020/zq18-20 there in a terminal."
  exit 0
fi
cd "$demo/DOR_2020"
exec ./zq18-20
