#!/usr/bin/env bash
# Times Purgeline's pass on the demo suite without and with a backup ("/backup:<folder>"), in a
# fresh prefix per run, and prints the backup's size and how many key trees reg.exe exported.
#   bench/run_backup_bench.sh [BUILD_DIR] [win32|win64] [RUNS]
# BUILD_DIR defaults to build/i686; it must hold bin/Purgeline.exe and demo_seed.exe. Prints one
# line per run and the medians, in seconds of wall time for the Purgeline process alone.
# A run with a backup may take 1.5 times one without, beyond the time of copying the removed
# files (their bytes are printed too).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build/i686}" && pwd)"
kind="${2:-win32}"
runs="${3:-3}"
bin="$build/bin"
prefix="$build/prefixes/backup-bench-$kind"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$root/tools/prefix.sh" kill "$prefix"' EXIT

# One timed run in a freshly seeded prefix; prints its seconds.
timed_run() {
  "$root/tools/prefix.sh" create "$prefix" "$kind" >/dev/null
  export WINEPREFIX="$prefix"
  wine "$bin/demo_seed.exe" >/dev/null
  local start end
  start=$(date +%s.%N)
  wine "$bin/Purgeline.exe" "$@"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

plain=() backed=()
for run in $(seq 1 "$runs"); do
  seconds=$(timed_run)
  wine "$bin/demo_seed.exe" --stop >/dev/null 2>&1 || true
  "$root/tools/prefix.sh" kill "$prefix"
  plain+=("$seconds")
  seconds=$(timed_run '/backup:C:\bench-backup')
  backup="$prefix/drive_c/bench-backup"
  files=$(du -sb "$backup/files" 2>/dev/null | cut -f1 || true)
  printf 'run %d: %.2f s without, %.2f s with a backup (%s bytes, %d index lines, %d registry files, %s bytes of files)\n' \
    "$run" "${plain[-1]}" "$seconds" "$(du -sb "$backup" | cut -f1)" "$(wc -l <"$backup/index.txt")" \
    "$(ls "$backup" | grep -c '^[0-9]*\.reg$' || true)" "${files:-0}"
  backed+=("$seconds")
  wine "$bin/demo_seed.exe" --stop >/dev/null 2>&1 || true
  "$root/tools/prefix.sh" kill "$prefix"
done
a=$(median "${plain[@]}") b=$(median "${backed[@]}")
printf 'median of %d runs (%s prefix): %.2f s without, %.2f s with a backup: %.2f x\n' \
  "$runs" "$kind" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b / a }')"
