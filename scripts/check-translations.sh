#!/usr/bin/env bash
# Fails when the English translation is not complete: a text of the sources that
# translations/kesv_en.ts lacks, an entry whose text has left the sources, or an unfinished
# translation. Fix with scripts/update-translations.sh, then translate what it added.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
ts="$root/translations/kesv_en.ts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$ts" "$scratch/kesv_en.ts"
"$root/scripts/update-translations.sh" "$scratch/kesv_en.ts"
status=0
if ! diff -u "$ts" "$scratch/kesv_en.ts" >"$scratch/diff"; then
  echo "translations/kesv_en.ts is not up to date with the sources:" >&2
  grep -E '^[-+] *<source>' "$scratch/diff" >&2 || cat "$scratch/diff" >&2
  status=1
fi
if grep -n 'type="unfinished"\|type="vanished"\|type="obsolete"' "$ts" >&2; then
  echo "translations/kesv_en.ts has unfinished or stale entries (above)" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "translations: complete ($(grep -c '<source>' "$ts") texts)"
exit "$status"
