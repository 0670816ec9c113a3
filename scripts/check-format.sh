#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as .clang-format says.
# Fix with: clang-format -i $(git ls-files '*.cpp' '*.h')
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
