#!/usr/bin/env bash
# Fuzzes every pure reader of TalLib (fuzz/) with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in a native clang build (build/fuzz), each
# for the given number of seconds, and prints executions and findings per
# target. Exits 1 when any target found something; the inputs that failed
# are kept under build/fuzz/findings/<target>/.
#   tools/fuzz.sh SECONDS [TARGET...]     e.g. tools/fuzz.sh 90 base64
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz.sh SECONDS [TARGET...]}
shift
out=$root/build/fuzz

if ! command -v clang++-14 >/dev/null; then
    echo "fuzz.sh: clang++-14 is missing (tools/setup.sh installs it)" >&2
    exit 2
fi
cmake -S "$root/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null || exit 2
nice cmake --build "$out" -j 2 >/dev/null || { echo "fuzz.sh: build failed" >&2; exit 2; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for seeds in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

status=0
printf '%-16s %12s %9s %s\n' target executions findings corpus
for target in "${targets[@]}"; do
    corpus=$out/corpus/$target      # grows from run to run, never committed
    findings=$out/findings/$target
    mkdir -p "$corpus" "$findings"
    before=$(ls "$findings" | wc -l)
    log=$out/logs/$target.$$.log    # per run: two runs at once keep apart
    mkdir -p "$out/logs"
    # Niced: the fuzzers share the machine with builds and test runs.
    nice -n 10 "$out/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1
    code=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(( $(ls "$findings" | wc -l) - before ))
    if [ $code -ne 0 ] && [ $found -eq 0 ]; then
        found=1 # a crash without an artifact still counts
    fi
    [ $found -eq 0 ] || status=1
    printf '%-16s %12s %9s %s\n' "$target" "${runs:-?}" "$found" "$(ls "$corpus" | wc -l) inputs"
    if [ $found -ne 0 ]; then
        grep -E 'ERROR|property failed|SUMMARY' "$log" | head -n 5 | sed 's/^/    /'
    else
        rm -f "$log"
    fi
done
exit $status
