#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files=$(git ls-files -co --exclude-standard -- '*.cpp' '*.h' 2>/dev/null || true)
[ -z "$files" ] && exit 0
echo "$files" | xargs clang-format --dry-run -Werror
