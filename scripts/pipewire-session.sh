#!/usr/bin/env bash
# Runs a command inside a private PipeWire session (pipewire, wireplumber, pipewire-pulse) on its
# own D-Bus session bus and runtime folder, with PipeWire's JACK layer in front (pw-jack); the
# user's own session is never reached. Exits 77 when PipeWire cannot run here, and ends every
# process it started.
#   scripts/pipewire-session.sh COMMAND [ARG...]   (KESV_PW_TIMEOUT: seconds, 150 by default)
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }

if [ -z "${KESV_PW_INSIDE:-}" ]; then
  for tool in pipewire wireplumber pw-jack dbus-run-session; do
    if ! command -v "$tool" >/dev/null; then
      echo "pipewire-session: $tool is not installed (scripts/install-deps.sh)" >&2
      exit 77
    fi
  done
  root=$(mktemp -d "${TMPDIR:-/tmp}/kesv-pw.XXXXXX") || exit 77
  chmod 700 "$root"
  mkdir -p "$root/run" "$root/config" "$root/state" "$root/data"
  chmod 700 "$root/run"
  # The session manager leaves the machine's sound cards, cameras and Bluetooth alone: on a
  # desktop they belong to the user's own session.
  mkdir -p "$root/config/wireplumber/main.lua.d" "$root/config/wireplumber/bluetooth.lua.d"
  printf '%s\n' 'alsa_monitor.enabled = false' 'v4l2_monitor.enabled = false' \
    'libcamera_monitor.enabled = false' >"$root/config/wireplumber/main.lua.d/60-kesv-test.lua"
  echo 'bluez_monitor.enabled = false' >"$root/config/wireplumber/bluetooth.lua.d/60-kesv-test.lua"
  # Nothing of the caller's sessions leaks in: a private runtime folder, configuration, state and
  # bus, and no JACK or Pulse server named.
  env -u DBUS_SESSION_BUS_ADDRESS -u PIPEWIRE_REMOTE -u PULSE_SERVER -u JACK_DEFAULT_SERVER \
    -u PIPEWIRE_RUNTIME_DIR -u PULSE_RUNTIME_PATH \
    XDG_RUNTIME_DIR="$root/run" XDG_CONFIG_HOME="$root/config" XDG_STATE_HOME="$root/state" \
    XDG_DATA_HOME="$root/data" KESV_PW_INSIDE=1 KESV_PW_ROOT="$root" \
    dbus-run-session -- "$0" "$@"
  status=$?
  rm -rf "$root"
  exit $status
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

log="$KESV_PW_ROOT/session.log"
pipewire >>"$log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
  [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
  sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/pipewire-0" ]; then
  echo "pipewire-session: pipewire does not start here:" >&2
  tail -n 5 "$log" >&2
  exit 77
fi
wireplumber >>"$log" 2>&1 &
pids+=($!)
if command -v pipewire-pulse >/dev/null; then
  pipewire-pulse >>"$log" 2>&1 &
  pids+=($!)
fi
# The session manager is up once its client shows (read whole: under pipefail an early grep
# would fail the pipe).
wireplumber_up() {
  local clients
  clients=$(pw-cli ls Client 2>/dev/null)
  grep -qi wireplumber <<<"$clients"
}
for _ in $(seq 150); do
  wireplumber_up && break
  sleep 0.1
done
if ! wireplumber_up; then
  echo "pipewire-session: wireplumber does not start here:" >&2
  tail -n 5 "$log" >&2
  exit 77
fi

# Bounded, so that the session is always ended here, never left behind by a killed caller.
timeout --kill-after=5 "${KESV_PW_TIMEOUT:-150}" pw-jack "$@"
