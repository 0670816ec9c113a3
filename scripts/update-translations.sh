#!/usr/bin/env bash
# Brings translations/kesv_en.ts up to date with the translatable texts of src/: new texts
# are added unfinished, texts no longer in the sources are dropped. Without locations, so
# that moving code does not change the file.
#   scripts/update-translations.sh [ts-file]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
ts="${1:-$root/translations/kesv_en.ts}"
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
"$lupdate" -silent -locations none -no-obsolete -source-language ja_JP -target-language en_US \
  "$root/src" -ts "$ts"
