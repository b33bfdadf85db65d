#!/usr/bin/env bash
# The main job on a demo machine: a fresh 64-bit Wine prefix with an installed Corvane suite,
# Purgeline run on it, then its log and an account of what was removed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash tools/bootstrap.sh >/dev/null || exit 1
echo "==== building Purgeline (32-bit)"
cmake --preset i686 >/dev/null || exit 1
cmake --build --preset i686 -j "$(nproc)" --target Purgeline demo_seed demo_inventory >/dev/null || exit 1

export WINEPREFIX="$root/build/demo/win64"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bin="$root/build/i686/bin"
echo "==== fresh 64-bit Windows prefix: $WINEPREFIX"
bash tools/prefix.sh create "$WINEPREFIX" win64 || exit 1

echo "==== installing the demo Corvane suite"
wine "$bin/demo_seed.exe" || { echo "seeding failed"; exit 1; }
wine "$bin/demo_inventory.exe" >"$root/build/demo/before.txt"

echo "==== running Purgeline.exe $*"
wine "$bin/Purgeline.exe" "$@"
echo "Purgeline exit code: $?"

echo "==== the log (temporary folder + CVPurgeline.log.txt)"
log="$(find "$WINEPREFIX/drive_c/users" -name CVPurgeline.log.txt | head -n 1)"
sed 's/\r$//' "$log"

wine "$bin/demo_inventory.exe" >"$root/build/demo/after.txt"
echo
echo "==== what was removed or changed (before -> after)"
diff <(sed 's/\r$//' "$root/build/demo/before.txt") <(sed 's/\r$//' "$root/build/demo/after.txt") \
  | sed -n 's/^< /  removed: /p; s/^> /  now:     /p'
echo "==== what the demo machine still has of the suite's neighbours"
sed 's/\r$//' "$root/build/demo/after.txt" | grep -i 'decoy\|other' | sed 's/^/  kept: /'
WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
exit 0
