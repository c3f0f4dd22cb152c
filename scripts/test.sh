#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, checks the formatting and runs the whole test suite.
# Extra arguments go to ctest (for example: -L unit). Without any, the fuzz targets then run on
# their corpus as well, ORVANTA_FUZZ_SECONDS each (15 s: three minutes for all; 0 skips them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/test"
"$root/scripts/install-deps.sh" build test
"$root/scripts/check-format.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON \
    -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
# A test that fails is run once more: the end-to-end runs still flake now and then on a
# loaded machine, and a real fault fails both times.
ctest --output-on-failure --timeout 300 --repeat until-pass:2 "$@"
if [ $# -eq 0 ] && [ "${ORVANTA_FUZZ_SECONDS:-15}" -gt 0 ]; then
    "$root/scripts/fuzz.sh" "${ORVANTA_FUZZ_SECONDS:-15}"
fi
# The Debian packages, installed system-wide and removed again: on a CI machine as root, or
# when asked for with ORVANTA_TEST_PACKAGES=1.
if [ "${ORVANTA_TEST_PACKAGES:-}" = 1 ] || { [ -n "${CI:-}" ] && [ "$(id -u)" -eq 0 ]; }; then
    "$root/tests/scripts/check-packages.sh"
fi
