#!/usr/bin/env bash
# Installs what is missing, builds KesV and starts it: scripts/run.sh [song.kes]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKESV_BUILD_TESTS=OFF -DKESV_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-release --target kesv
args=()
for a in "$@"; do args+=("$(realpath -- "$a")"); done
exec ./build-release/src/app/kesv "${args[@]}"
