#!/usr/bin/env bash
# How many faults the tests catch: makes N single-point mutants of src/core, src/cloud and
# server/ (from a fixed seed), rebuilds incrementally after each and runs the tests, then
# prints killed/survived per file and the survivors.
# Usage: scripts/mutation-sample.sh [N=150] [SEED=1]
# The build is build/mutation (Debug, no sanitizers: the tests look for wrong results, and
# a mutant that only a sanitizer would notice is still counted by the test that fails).
# Tests: the unit label and the integration tests of the cloud client and the service;
# ORVANTA_MUTATION_TESTS replaces that command. Runs for an hour or more on two cores.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/mutation"
count=${1:-150}
seed=${2:-1}
"$root/scripts/install-deps.sh" build test

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
linker=()
command -v mold >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=mold
    -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=mold)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=OFF \
    -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCHMARKS=OFF "${launcher[@]}" "${linker[@]}" \
    >/dev/null
cmake --build "$build"

integration='^(cloud_service_tests|cloud_no_secret_service_tests|service_tests)$'
tests="cd '$build' && ctest -L unit -j2 --stop-on-failure --timeout 60 -Q \
&& ctest -R '$integration' --stop-on-failure --timeout 300 -Q"
# After a mutant only the executables those tests run are linked again.
targets=$(cd "$build" && { ctest --show-only=json-v1 -L unit; ctest --show-only=json-v1 \
    -R "$integration"; } | python3 -c '
import json, os, sys
decoder, text, names = json.JSONDecoder(), sys.stdin.read(), {"orvanta", "orvanta-service"}
at = 0
while at < len(text.strip()):
    document, at = decoder.raw_decode(text, at)
    at = len(text) - len(text[at:].lstrip())
    for test in document["tests"]:
        for word in test.get("command", []):
            if word.startswith(sys.argv[1]) and os.access(word, os.X_OK):
                names.add(os.path.basename(word))
print(" ".join(sorted(names)))' "$build/")
if [ -n "${ORVANTA_MUTATION_TESTS:-}" ]; then
    tests=$ORVANTA_MUTATION_TESTS
    targets=""
fi
echo "Checking that the tests pass without a mutant"
if ! bash -c "$tests" >/dev/null 2>&1; then
    echo "The tests fail on the unchanged sources; fix that first (run: $tests)" >&2
    exit 1
fi
exec python3 "$root/scripts/mutation_sample.py" --root "$root" --build "$build" \
    --count "$count" --seed "$seed" --test-command "$tests" --targets $targets
