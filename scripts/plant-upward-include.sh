#!/usr/bin/env bash
# Shows that check-layers.sh catches an upward include however it is spelled: builds a copy of
# src/document/kesdoc.cpp with one include of a higher layer planted, with the flags the real
# build used for it, and expects the check of that scratch build to fail and name the header.
#   scripts/plant-upward-include.sh BUILD_DIR HEADER [--root-on-include-path]
# HEADER as it follows #include, e.g. ../view/staffrules.h. --root-on-include-path puts the
# source folder itself on the include path, as a mangled include folder once did, so that
# src/view/viewlayout.h builds (after making sure that the build's own flags do not).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd -P)
build_dir=$(cd "$1" && pwd -P)
header=$2
root_on_path=${3:-}

scratch=$(mktemp -d "$build_dir/layering-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# A source tree whose src/document holds the planted file beside links to the real files;
# the other layers are links to the real folders, so "../view/..." finds the real header.
tree=$scratch/tree
mkdir -p "$tree/src/document"
for folder in "$source_dir"/src/*/; do
  name=$(basename "$folder")
  [ "$name" = document ] || ln -s "$folder" "$tree/src/$name"
done
ln -s "$source_dir"/src/document/* "$tree/src/document/"
{
  echo "#include \"$header\""
  cat "$source_dir/src/document/kesdoc.cpp"
} >"$tree/src/document/planted.cpp"

flags=$(python3 - "$build_dir/compile_commands.json" <<'EOF'
import json, shlex, sys
for entry in json.load(open(sys.argv[1])):
    if entry["file"].endswith("/src/document/kesdoc.cpp"):
        args = entry.get("arguments") or shlex.split(entry["command"])
        kept = []
        skip = False
        for arg in args:
            if skip:
                skip = False
            elif arg in ("-o", "-c"):
                skip = True
            else:
                kept.append(arg)
        print(shlex.join(kept).replace("$", "$$"))  # ninja escapes a dollar sign
        break
else:
    sys.exit("src/document/kesdoc.cpp is not in " + sys.argv[1])
EOF
)
build() {
  cat >"$scratch/build.ninja" <<EOF
rule cxx
  command = $1 -MD -MF \$out.d -o \$out -c \$in
  depfile = \$out.d
  deps = gcc
build src/document/planted.cpp.o: cxx tree/src/document/planted.cpp
EOF
  ninja -C "$scratch" >"$scratch/build.log" 2>&1
}
if [ "$root_on_path" = --root-on-include-path ]; then
  # The build's own include path must not reach the source folder itself.
  if build "$flags"; then
    echo "the build's include path finds \"$header\" from the source folder" >&2
    exit 1
  fi
  flags+=" -I$tree"
fi
if ! build "$flags"; then
  cat "$scratch/build.log" >&2
  echo "the planted include \"$header\" did not build" >&2
  exit 1
fi

if report=$("$source_dir/scripts/check-layers.sh" "$scratch" 2>&1); then
  echo "$report"
  echo "check-layers.sh let #include \"$header\" in src/document pass" >&2
  exit 1
fi
echo "$report"
grep -qE "src/document/planted\.cpp\.o read src/view/$(basename "$header")\$" <<<"$report"
