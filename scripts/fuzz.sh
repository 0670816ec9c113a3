#!/usr/bin/env bash
# Builds the fuzz targets with clang (address + undefined sanitizers) and runs each in turn:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS for every target, or by default as long as each needs to cover its reader (the
# score readers the longest). Inputs may be as long as the target's real files get (a score
# of 999 events is 165 KB, a .kes file 2 KB); the score targets start from a dictionary of
# MusicXML's names. New interesting inputs go to a scratch corpus; findings are written as
# crash-* files in build-fuzz/ (copy them to tests/corpus/TARGET, where every test run
# replays them).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=""
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
targets=(${*:-songcodec settings midifile musicxml mxl})
declare -A max_len=([songcodec]=8192 [settings]=1024 [midifile]=65536 [musicxml]=262144
                    [mxl]=262144
                    [abc]=65536)
declare -A default_seconds=([songcodec]=300 [settings]=300 [midifile]=900 [musicxml]=1800
                            [mxl]=1800
                            [abc]=600)
./scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESV_BUILD_FUZZERS=ON -DKESV_BUILD_TESTS=OFF -DKESV_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
for target in "${targets[@]}"; do
  options=(-max_total_time="${seconds:-${default_seconds[$target]}}" -max_len="${max_len[$target]}")
  if [[ $target == musicxml || $target == mxl ]]; then
    options+=(-dict=../tests/fuzz/musicxml.dict)
  fi
  mkdir -p "build-fuzz/corpus-$target"
  (cd build-fuzz && "./tests/fuzz/fuzz_$target" "${options[@]}" "corpus-$target" \
      "../tests/corpus/$target")
done
