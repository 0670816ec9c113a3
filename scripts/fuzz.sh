#!/usr/bin/env bash
# Builds the fuzz targets with clang (address + undefined sanitizers) and runs each for the
# given number of seconds (default 300); targets named after the seconds run alone. New
# interesting inputs go to a scratch corpus; findings are written as crash-* files in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"
shift || true
targets=(${*:-songcodec settings midifile musicxml abc})
./scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESV_BUILD_FUZZERS=ON -DKESV_BUILD_TESTS=OFF -DKESV_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus-$target"
  (cd build-fuzz && "./tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 \
      "corpus-$target" "../tests/corpus/$target")
done
