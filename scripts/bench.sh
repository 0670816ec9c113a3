#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them: scripts/bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESV_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench
for b in build-bench/benchmarks/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  case "$(basename "$b")" in *${1:-}*) ;; *) continue ;; esac
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2
done
