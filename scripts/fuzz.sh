#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each one for SECONDS (default 30) on its checked-in corpus, tests/fuzz/corpus/<target>/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET…]
# Inputs found to reach new code go to build/fuzz/corpus/<target>/; the checked-in corpus is only
# read. A crash, a hang (10 s for one input), a leak or a failed property leaves its input in
# build/fuzz/crashes/<target>/ and makes the script fail once every target has run. Add such an
# input to the checked-in corpus when the fault is fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
seconds=${1:-30}
shift || true
"$root/scripts/install-deps.sh" build test
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DORVANTA_BUILD_FUZZERS=ON -DORVANTA_BUILD_TESTS=OFF \
    -DORVANTA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for dir in "$root"/tests/fuzz/corpus/*/; do
        targets+=("$(basename "$dir")")
    done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
# The service's request log and FFmpeg's complaints about broken files would drown the report.
export QT_LOGGING_RULES="*=false"

failed=()
total=0
printf '%-28s %12s %10s  %s\n' target executions exec/s result
for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/logs/$target.log"
    mkdir -p "$work" "$crashes" "$(dirname "$log")"
    result=ok
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1 || result="FAILED (see $log)"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    total=$((total + ${runs:-0}))
    printf '%-28s %12s %10s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "$result"
    [ "$result" = ok ] || failed+=("$target")
done
printf '%-28s %12s\n' total "$total"
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
