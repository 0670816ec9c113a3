#!/usr/bin/env bash
# Starts KesV under Xvfb with the sample song and saves a PNG of its main window:
#   scripts/screenshot.sh [out.png] [song.kes]
# KESV_COLOR_SCHEME=darker (a qt6ct colour scheme; needs the qt6ct package) paints it in that
# scheme, as docs/screenshot-dark.png; QT_SCALE_FACTOR and LANG are passed on as usual.
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
theme=()
if [ -n "${KESV_COLOR_SCHEME:-}" ]; then
  mkdir -p "$profile/qt6ct"
  printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/%s.conf\ncustom_palette=true\nstyle=Fusion\n' \
    "$KESV_COLOR_SCHEME" >"$profile/qt6ct/qt6ct.conf"
  theme=(QT_QPA_PLATFORMTHEME=qt6ct)
fi
env "${theme[@]}" XDG_CONFIG_HOME="$profile" XDG_STATE_HOME="$profile/state" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/app/kesv" --screenshot "$out" "$song"
echo "$out"
