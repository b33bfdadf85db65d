#!/usr/bin/env bash
# The main job on a demo machine: a fresh 64-bit Wine prefix with an installed Corvane suite,
# first a report-only run of Purgeline (what it would change; nothing is changed), then the real
# run, its log and an account of what was removed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash tools/bootstrap.sh >/dev/null || exit 1
echo "==== building Purgeline (32-bit)"
cmake --preset i686 >/dev/null || exit 1
cmake --build --preset i686 -j "$(nproc)" --target Purgeline demo_seed demo_inventory demo_snapshot >/dev/null || exit 1

export WINEPREFIX="$root/build/demo/win64"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bin="$root/build/i686/bin"
echo "==== fresh 64-bit Windows prefix: $WINEPREFIX"
bash tools/prefix.sh create "$WINEPREFIX" win64 || exit 1

echo "==== installing the demo Corvane suite"
wine "$bin/demo_seed.exe" || { echo "seeding failed"; exit 1; }
wine "$bin/demo_inventory.exe" >"$root/build/demo/before.txt"
wine "$bin/demo_snapshot.exe" save 'Z:'"$root/build/demo/before.snapshot" | sed 's/^/  /'

echo "==== report-only run: Purgeline.exe /report $*"
wine "$bin/Purgeline.exe" /report "$@"
echo "Purgeline exit code: $?"
echo "==== the report (temporary folder + CVPurgeline.report.txt): what the real run will change"
report="$(find "$WINEPREFIX/drive_c/users" -name CVPurgeline.report.txt | head -n 1)"
sed '1s/^\xEF\xBB\xBF//; s/\r$//' "$report"
wine "$bin/demo_snapshot.exe" save 'Z:'"$root/build/demo/reported.snapshot" >/dev/null
echo "==== what the report-only run changed on the machine (only its report and its log)"
wine "$bin/demo_snapshot.exe" compare 'Z:'"$root/build/demo/before.snapshot" \
  'Z:'"$root/build/demo/reported.snapshot"
log="$(find "$WINEPREFIX/drive_c/users" -name CVPurgeline.log.txt | head -n 1)"
rm -f "$log"

echo "==== running Purgeline.exe $*"
wine "$bin/Purgeline.exe" "$@"
echo "Purgeline exit code: $?"

echo "==== the log (temporary folder + CVPurgeline.log.txt)"
log="$(find "$WINEPREFIX/drive_c/users" -name CVPurgeline.log.txt | head -n 1)"
sed 's/\r$//' "$log"

wine "$bin/demo_inventory.exe" >"$root/build/demo/after.txt"
wine "$bin/demo_snapshot.exe" save 'Z:'"$root/build/demo/after.snapshot" >/dev/null
echo
# Both inventories list the same items in the same order: "<item>: <state>".
paste -d '\t' <(sed 's/\r$//' "$root/build/demo/before.txt") <(sed 's/\r$//' "$root/build/demo/after.txt") \
  >"$root/build/demo/changes.tsv"
echo "==== what Purgeline changed (item: before -> after)"
awk -F '\t' '$1 != $2 { n = index($2, ": "); a = substr($2, n + 2);
  m = index($1, ": "); print "  " substr($1, 1, m - 1) ": " substr($1, m + 2) " -> " a }' \
  "$root/build/demo/changes.tsv"
echo "==== the whole machine, before -> after (every key, value, file, service and process)"
wine "$bin/demo_snapshot.exe" compare 'Z:'"$root/build/demo/before.snapshot" \
  'Z:'"$root/build/demo/after.snapshot"
echo "==== what it left alone: the suite's neighbours (another vendor, the other registry view)"
awk -F '\t' '$1 == $2 && ($1 ~ /Lantern|xcvus|64-bit view\)\\Software|32-bit view\)\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer|75F3D1B9|9B1D3F57|7d41b6|9A8B7C6D/) { print "  " $1 }' \
  "$root/build/demo/changes.tsv"
WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
exit 0
