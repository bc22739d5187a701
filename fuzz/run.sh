#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time, one after the other on one
# core. Usage: fuzz/run.sh <build folder> <seconds per target> keep|check
#   keep:  new inputs that add coverage are kept in tests/fuzz/<target> (minimised at the end);
#   check: tests/fuzz is only read, so a CI run leaves the tree as it was.
# Prints executions per target and writes them to <build folder>/fuzz-report.txt. Any crash,
# leak, sanitizer report or broken property fails the run; the input is saved in
# <build folder>/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
mode=${3:-keep}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j 2
# The targets as fuzz/CMakeLists.txt lists them.
mapfile -t targets <"$build/fuzz-targets.txt"
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build/fuzz-targets.txt" >&2; exit 1; }
"$build/bin/orbiqa-fuzz-seeds" tests/fuzz

mkdir -p "$build/artifacts"
report="$build/fuzz-report.txt"
printf '%-16s %12s %8s %8s %8s\n' target executions seconds corpus cov >"$report.new"
status=0
for t in "${targets[@]}"; do
    corpus="tests/fuzz/$t"
    log="$build/fuzz_$t.log"
    work=$(mktemp -d)
    if [ "$mode" = keep ]; then dirs=("$corpus"); else dirs=("$work" "$corpus"); fi
    # A check run starts from a fixed seed, so that two runs of the same tree explore alike.
    seedopt=()
    [ "$mode" = check ] && seedopt=(-seed=1)
    echo "== $t: $seconds s"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/bin/fuzz_$t" "${seedopt[@]}" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "${dirs[@]}" >"$log" 2>&1; then
        echo "!! $t failed; see $log"
        tail -n 40 "$log"
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    if [ "$mode" = keep ] && [ $status -eq 0 ]; then
        # Keep the corpus small: only inputs that add coverage stay, beside the seeds and the
        # regression inputs, which are never removed.
        "$build/bin/fuzz_$t" -merge=1 "$work" "$corpus" >>"$log" 2>&1
        keepsums=$(find "$corpus" -type f \( -name 'seed-*' -o -name 'regress-*' \) -exec sha1sum {} + | cut -d' ' -f1 | sort -u)
        find "$corpus" -type f ! -name 'seed-*' ! -name 'regress-*' -delete
        for f in "$work"/*; do
            [ -f "$f" ] || continue
            grep -qx "$(basename "$f")" <<<"$keepsums" || cp "$f" "$corpus/"
        done
    fi
    rm -rf "$work"
    size=$(find "$corpus" -type f | wc -l)
    printf '%-16s %12s %8s %8s %8s\n' "$t" "${runs:-?}" "${secs:-?}" "$size" "${cov:-?}" | tee -a "$report.new"
done
mv "$report.new" "$report"
echo
cat "$report"
exit $status
