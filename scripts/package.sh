#!/usr/bin/env bash
# Builds the Debian packages orvanta and orvanta-service from a Release build of just the two
# executables (build/package) and prints their paths. Extra arguments go to cmake, for
# example -DORVANTA_SERVICE_URL=https://… -DORVANTA_ACCOUNT_URL=https://…
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/package"
"$root/scripts/install-deps.sh" build
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANTA_SANITIZE=OFF \
    -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    "${launcher[@]}" "$@" >/dev/null
cmake --build "$build"
cd "$build"
rm -f ./*.deb
cpack -G DEB >/dev/null
ls "$build"/*.deb
