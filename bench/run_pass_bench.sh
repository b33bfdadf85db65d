#!/usr/bin/env bash
# Times Purgeline's whole pass on the scan benchmark's large synthetic registry with the demo
# suite installed on top, in a fresh prefix per run: first a report-only run ("/report"), which
# changes nothing, then the real run on the same machine.
#   bench/run_pass_bench.sh [BUILD_DIR] [win32|win64] [RUNS]
# BUILD_DIR defaults to build/i686; it must hold bin/Purgeline.exe, msi_scan_bench.exe and
# demo_seed.exe. Prints one line per run and the medians, in seconds of wall time for the
# Purgeline process alone (seeding is not timed), and the report-only run's median as a share
# of the real run's (the target is at most 1.1).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build/i686}" && pwd)"
kind="${2:-win32}"
runs="${3:-3}"
bin="$build/bin"
prefix="$build/prefixes/pass-bench-$kind"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$root/tools/prefix.sh" kill "$prefix"' EXIT

# Seconds of wall time of one Purgeline run with arguments "$@".
time_purgeline() {
  local start end
  start=$(date +%s.%N)
  wine "$bin/Purgeline.exe" "$@"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

median() {
  printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"
}

real_times=()
report_times=()
for run in $(seq 1 "$runs"); do
  "$root/tools/prefix.sh" create "$prefix" "$kind"
  export WINEPREFIX="$prefix"
  wine "$bin/msi_scan_bench.exe" --seed-only >/dev/null
  wine "$bin/demo_seed.exe" >/dev/null
  report=$(time_purgeline /report)
  real=$(time_purgeline)
  printf 'run %d: report-only %.2f s, real %.2f s\n' "$run" "$report" "$real"
  report_times+=("$report")
  real_times+=("$real")
  wine "$bin/demo_seed.exe" --stop >/dev/null 2>&1 || true
  "$root/tools/prefix.sh" kill "$prefix"
done
real_median=$(median "${real_times[@]}")
report_median=$(median "${report_times[@]}")
printf 'median of %d runs (%s prefix): real %.2f s, report-only %.2f s (%.2f x the real run)\n' \
  "$runs" "$kind" "$real_median" "$report_median" \
  "$(awk -v a="$report_median" -v b="$real_median" 'BEGIN { printf "%.3f", a / b }')"
