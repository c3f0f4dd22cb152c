#!/usr/bin/env bash
# Installs what is missing, builds Orvanta and starts it. Extra arguments go to orvanta.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build/release" --target orvanta
exec "$root/build/release/src/app/orvanta" "$@"
