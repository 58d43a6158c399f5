#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks (optimised) and runs them all, printing one table.
#   bench/run.sh [build-dir]      default: build/ at the top of the tree
# Every figure is a median over repeated runs; "cpu" is this process's median CPU time, which
# leaves out time taken by other processes on a busy machine.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
config=()
case "$type" in
Release | RelWithDebInfo) ;;
*) config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
esac
log="$build/bench-build.log"
if ! { cmake -S "$root" -B "$build" "${config[@]}" &&
    cmake --build "$build" --target k12-benchmarks -j"$(nproc)"; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "building the benchmarks failed; full log: $log" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
benches=(main files datalist poll chart mouse memory pieces simulation record feed)
results=$(mktemp)
failed=()
trap 'rm -f "$results"' EXIT
for b in "${benches[@]}"; do
    exe="$build/bin/k12-bench-$b"
    if ! "$exe" >"$results.$b" 2>"$results.$b.err"; then
        failed+=("$b")
    fi
    grep '^BENCH' "$results.$b" >>"$results" || true
    if [[ -s "$results.$b.err" ]]; then
        sed "s/^/k12-bench-$b: /" "$results.$b.err" >&2
    fi
    rm -f "$results.$b" "$results.$b.err"
done

cpu=$(sed -n 's/^model name[[:space:]]*:[[:space:]]*//p' /proc/cpuinfo | head -n1)
echo "k12inc benchmarks, $(date '+%Y-%m-%d %H:%M %Z')"
echo "machine: ${cpu:-unknown CPU}, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")), QT_QPA_PLATFORM=offscreen"
echo
awk -F'\t' '
function row(a, b, c, d, e, f, g, h) {
    printf "%-50s %8s %8s %8s %5s  %-4s %-9s %s\n", a, b, c, d, e, f, g, h
}
BEGIN { row("figure", "median", "min", "cpu", "runs", "unit", "target", "") }
{
    verdict = ""
    if ($8 ~ /^<=? /) {
        split($8, t, " ")
        met = t[1] == "<=" ? $3 + 0 <= t[2] + 0 : $3 + 0 < t[2] + 0
        verdict = met ? "met" : "MISSED"
    }
    row($2, $3, $4, $5, $6, $7, $8, verdict)
}' "$results"

if ((${#failed[@]})); then
    echo
    echo "FAILED (a benchmark did not run through or got a wrong result): ${failed[*]}" >&2
    exit 1
fi
