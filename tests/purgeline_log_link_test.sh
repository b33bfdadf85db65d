#!/usr/bin/env bash
# Purgeline's log file name in the temporary folder planted as a link to a file that is not the
# suite's (a shared temporary folder lets any account make that name first): the other file
# keeps its content, and the log is written afresh in the link's place. Wine cannot make Windows
# links; a Unix symbolic link inside drive_c leads Windows programs to its target.
#   purgeline_log_link_test.sh BIN_FOLDER
set -u
bin="$1"
c="$WINEPREFIX/drive_c"
# Wine's temporary folder for the prefix's user (TEMP is %USERPROFILE%\Temp there).
temp="$c/users/${USER:-$(id -un)}/Temp"
log="$temp/CVPurgeline.log.txt"
victim="$c/cvloglink_victim/keep.txt"
cleanup() {
  rm -f "$log"
  rm -rf "$c/cvloglink_victim"
}
trap cleanup EXIT
cleanup
mkdir -p "$temp" "$(dirname "$victim")"
echo "not the suite's" >"$victim"
ln -s "$victim" "$log"

"$CORVANE_SOURCE_DIR/tools/wine-run" "$bin/Purgeline.exe" || { echo "Purgeline failed"; exit 1; }

rc=0
if [ "$(cat "$victim" 2>/dev/null)" != "not the suite's" ]; then
  echo "FAIL: the log was written through the planted link into $victim"
  rc=1
fi
if [ -L "$log" ] || ! grep -q '\*\*\*\* Search .* info \*\*\*\*' "$log"; then
  echo "FAIL: no log of its own at $log"
  rc=1
fi
[ $rc = 0 ] && echo "ok: the link's target kept its content and the log was written afresh"
exit $rc
