#!/usr/bin/env bash
# Times the race-free folder removal against the obvious path-based removal (the standard
# library's and Boost's remove_all) of identical 6,000-file trees, in one run of
# tree_removal_bench.exe in a fresh prefix, and prints the file calls per removed entry of each
# and the ratios of the medians (the target is at most 1.25).
#   bench/run_tree_removal_bench.sh [BUILD_DIR] [win64|win32] [ROUNDS]
# BUILD_DIR defaults to build/i686; it must hold bin/tree_removal_bench.exe.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build/i686}" && pwd)"
kind="${2:-win64}"
runs="${3:-5}"
prefix="$build/prefixes/tree-removal-bench-$kind"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$root/tools/prefix.sh" kill "$prefix"' EXIT

"$root/tools/prefix.sh" create "$prefix" "$kind"
export WINEPREFIX="$prefix"
echo "prefix: $kind"
wine "$build/bin/tree_removal_bench.exe" "$runs"
