#!/usr/bin/env bash
# Fails when an object of the build read a header of a layer above its own, and prints the
# object and the header. What each object read comes from the build's dependency log
# (`ninja -t deps`), so an include counts however it is spelled; run it after a build.
#   scripts/check-layers.sh BUILD_DIR
# The layers are the folders of src/ in the order src/CMakeLists.txt adds them, bottom up; an
# object belongs to the layer of its folder in the build (src/<layer>/...), a header to the
# layer of its folder in the sources (src/<layer>/...), wherever a symbolic link pointed.
# A layer whose line there says "plain C++" reads no Qt header at all.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd -P)
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build_dir=$1
[ -f "$build_dir/build.ninja" ] || { echo "$build_dir is not a Ninja build" >&2; exit 2; }

mapfile -t layers < <(sed -nE 's/^add_subdirectory\(([a-z_]+)\).*/\1/p' \
                        "$source_dir/src/CMakeLists.txt")
status=0
for folder in "$source_dir"/src/*/; do
  name=$(basename "$folder")
  if ! printf '%s\n' "${layers[@]}" | grep -qx "$name"; then
    echo "src/$name is not one of the layers: ${layers[*]}" >&2
    status=1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# "object<TAB>header" for every header an object under src/ read (ninja lists only the records
# of objects the build still has).
ninja -C "$build_dir" -t deps | awk '
  /^[^ ]/ { object = $1; sub(/:$/, "", object); ours = object ~ /^src\/[a-z_]+\//; next }
  ours && NF == 1 { print object "\t" $1 }' >"$work/reads"
if [ ! -s "$work/reads" ]; then
  echo "no object of src/ in the dependency log of $build_dir: build it first" >&2
  exit 1
fi
# The headers' real paths: the log names them relative to the build folder, maybe with "..".
cut -f2 "$work/reads" | sort -u >"$work/names"
(cd "$build_dir" && xargs -d '\n' realpath -m -- <"$work/names") >"$work/paths"
paste "$work/names" "$work/paths" >"$work/resolved"

awk -F '\t' -v layers="${layers[*]}" -v src="$source_dir/src/" '
  BEGIN { n = split(layers, list, " "); for (i = 1; i <= n; ++i) rank[list[i]] = i }
  FILENAME == ARGV[1] {
    if (index($2, src) == 1) {
      split(substr($2, length(src) + 1), part, "/")
      layerOf[$1] = part[1]
      shown[$1] = "src/" substr($2, length(src) + 1)
    }
    next
  }
  {
    split($1, part, "/")
    own = part[2]
    used = layerOf[$2]
    if (used != "" && rank[used] > rank[own]) {
      printf "upward include (src/%s may not use src/%s): %s read %s\n", own, used, $1, shown[$2]
      found = 1
    }
  }
  END { exit found }' "$work/resolved" "$work/reads" | sort -u >&2 || status=1

mapfile -t plain < <(sed -nE 's/^add_subdirectory\(([a-z_]+)\).*plain C\+\+.*/\1/p' \
                       "$source_dir/src/CMakeLists.txt")
for layer in "${plain[@]}"; do
  awk -F '\t' -v layer="$layer" '
    index($1, "src/" layer "/") == 1 && $2 ~ /\/(qt6|Qt[A-Za-z]+)\// && !seen[$1]++ {
      printf "Qt in a plain C++ layer (src/%s): %s read %s\n", layer, $1, $2
      found = 1
    }
    END { exit found }' "$work/reads" | sort -u >&2 || status=1
done

[ "$status" -eq 0 ] && echo "layers: no upward include in $(cut -f1 "$work/reads" | sort -u | wc -l) objects"
exit "$status"
