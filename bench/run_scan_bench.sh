#!/usr/bin/env bash
# Runs the root-store scan benchmark in a fresh 32-bit prefix (the native form's platform).
#   bench/run_scan_bench.sh [BUILD_DIR] [win32|win64]
# BUILD_DIR defaults to build/i686; it must hold bin/msi_scan_bench.exe. The last line printed is
# the ratio of the native scan's time to the bare walk's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/i686}"
kind="${2:-win32}"
prefix="$build/prefixes/scan-bench-$kind"
"$root/tools/prefix.sh" create "$prefix" "$kind"
trap '"$root/tools/prefix.sh" kill "$prefix"' EXIT
export WINEPREFIX="$prefix"
"$root/tools/wine-run" "$build/bin/msi_scan_bench.exe"
