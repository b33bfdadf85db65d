#!/usr/bin/env bash
# Times Purgeline's whole pass on the scan benchmark's large synthetic registry with the demo
# suite installed on top, in a fresh prefix per run.
#   bench/run_pass_bench.sh [BUILD_DIR] [win32|win64] [RUNS]
# BUILD_DIR defaults to build/i686; it must hold bin/Purgeline.exe, msi_scan_bench.exe and
# demo_seed.exe. Prints one line per run and the median, in seconds of wall time for the
# Purgeline process alone (seeding is not timed).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build/i686}" && pwd)"
kind="${2:-win32}"
runs="${3:-3}"
bin="$build/bin"
prefix="$build/prefixes/pass-bench-$kind"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$root/tools/prefix.sh" kill "$prefix"' EXIT

times=()
for run in $(seq 1 "$runs"); do
  "$root/tools/prefix.sh" create "$prefix" "$kind"
  export WINEPREFIX="$prefix"
  wine "$bin/msi_scan_bench.exe" --seed-only >/dev/null
  wine "$bin/demo_seed.exe" >/dev/null
  start=$(date +%s.%N)
  wine "$bin/Purgeline.exe"
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  printf 'run %d: %.2f s\n' "$run" "$seconds"
  times+=("$seconds")
  wine "$bin/demo_seed.exe" --stop >/dev/null 2>&1 || true
  "$root/tools/prefix.sh" kill "$prefix"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
printf 'median of %d runs (%s prefix): %.2f s\n' "$runs" "$kind" "$median"
