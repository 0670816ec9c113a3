#!/usr/bin/env bash
# Fails when a file under src/ includes a header from a layer above its own, and prints the
# offending lines. The layers, bottom up: each may include only from itself and those before.
#   scripts/check-layers.sh [source-root]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
layers=(song settings editor document midi dialogs view app)

rank() {
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  echo -1
}

status=0
for layer in "${layers[@]}"; do
  [ -d "$root/src/$layer" ] || continue
  own=$(rank "$layer")
  while IFS= read -r hit; do
    target=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"${hit#*:*:}")
    other=$(rank "$target")
    if [ "$other" -gt "$own" ]; then
      echo "upward include (src/$layer may not use src/$target): ${hit#"$root/"}" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z]+/' \
             --include='*.h' --include='*.cpp' "$root/src/$layer" || true)
done
for folder in "$root"/src/*/; do
  name=$(basename "$folder")
  if [ "$(rank "$name")" -lt 0 ]; then
    echo "src/$name is not one of the layers: ${layers[*]}" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "layers: no upward include"
exit "$status"
