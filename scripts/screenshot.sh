#!/usr/bin/env bash
# Starts KesV under Xvfb with the sample song and saves a PNG of its main window:
#   scripts/screenshot.sh [out.png] [song.kes]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m -- "${1:-$here/screenshot.png}")"
song="$(realpath -- "${2:-$here/tests/data/sample.kes}")"
build="${KESV_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target kesv >/dev/null
# A profile of its own, so that the user's bar layout, recent files and unsaved work stay out of it.
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
XDG_CONFIG_HOME="$profile" XDG_STATE_HOME="$profile/state" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/app/kesv" --screenshot "$out" "$song"
echo "$out"
