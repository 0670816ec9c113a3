#!/usr/bin/env bash
# Installs what is missing, builds KesV with its tests and runs the whole suite.
# MIDI tests run against a private JACK server (dummy driver) that this script starts
# and stops; it never touches a JACK server of the user's own.
#   scripts/test.sh                 normal build in build/
#   KESV_SANITIZE=address,undefined scripts/test.sh   (or thread) sanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

sanitize="${KESV_SANITIZE:-}"
build_dir="build"
[ -n "$sanitize" ] && build_dir="build-${sanitize//,/-}"

# A new warning fails the run.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKESV_SANITIZE="$sanitize" -DKESV_WERROR=ON >/dev/null
cmake --build "$build_dir"

# A private JACK server for the MIDI tests, under the first of a few fixed names that no
# live server answers: JACK's shared registry holds 8 servers and gives the slot of a
# killed server back only to a new server of the same name.
export JACK_NO_START_SERVER=1
export JACK_NO_AUDIO_RESERVATION=1
jack_pid=""
cleanup() {
  [ -n "$jack_pid" ] || return 0
  # SIGINT, after every client is gone, leaves the registry clean.
  kill -INT "$jack_pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$jack_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$jack_pid" 2>/dev/null || true
  wait "$jack_pid" 2>/dev/null || true
  jack_pid=""
}
trap cleanup EXIT
for n in 1 2 3 4; do
  export JACK_DEFAULT_SERVER="kesv-test-$n"
  jack_lsp >/dev/null 2>&1 && continue # a live server of another run
  jackd -d dummy -r 48000 -p 256 >"$build_dir/jackd.log" 2>&1 &
  jack_pid=$!
  for _ in $(seq 50); do
    # A server that ends at once lost its name to another run meanwhile.
    kill -0 "$jack_pid" 2>/dev/null || break
    jack_lsp >/dev/null 2>&1 && break
    sleep 0.1
  done
  kill -0 "$jack_pid" 2>/dev/null && jack_lsp >/dev/null 2>&1 && break
  cleanup
done
if [ -z "$jack_pid" ]; then
  echo "No private JACK server (kesv-test-1 to -4) started; see $build_dir/jackd.log" >&2
  exit 1
fi

# Tests must never read or write the user's own settings or profile.
export XDG_CONFIG_HOME="$PWD/$build_dir/test-home/config"
export XDG_DATA_HOME="$PWD/$build_dir/test-home/data"
export XDG_STATE_HOME="$PWD/$build_dir/test-home/state"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

# Under a real X display Qt's D-Bus library leaves a buffer behind at exit; not ours.
case "$sanitize" in *address*) export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" ;; esac
# Qt itself is not built with the thread sanitizer, so its widgets would only give false
# reports: the thread-sanitizer run takes the tests of the program's own threads.
# Sanitized JACK clients miss their cycles and the server drops their events, so the tests
# that count every event a real peer receives, or their timing, stay with the normal and
# address runs.
case "$sanitize" in
  *thread*)
    set -- -L threads \
      -E '^(JackMidiTest[.]|JackServerLossTest[.]AfterTheServerIsBack|Periods/JackPeriodTest[.])' "$@" ;;
esac

ctest --test-dir "$build_dir" --output-on-failure -j2 "$@"
