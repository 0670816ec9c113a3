#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as .clang-format says, or a CMake file
# breaks the layout scripts/check-cmake-format.py checks.
# Fix with: clang-format -i $(git ls-files '*.cpp' '*.h')   (CMake files: by hand, as it says)
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror || status=1
./scripts/check-cmake-format.py || status=1
exit "$status"
