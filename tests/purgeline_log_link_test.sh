#!/usr/bin/env bash
# Purgeline's log file name in the temporary folder planted as a link to a file that is not the
# suite's (a shared temporary folder lets any account make that name first): the other file
# keeps its content, and the log is written afresh in the link's place. Wine cannot make Windows
# links; a Unix symbolic link inside drive_c leads Windows programs to its target.
#   purgeline_log_link_test.sh BIN_FOLDER
set -u
source "$(dirname "${BASH_SOURCE[0]}")/scenario.sh"
# Wine's temporary folder for the prefix's user (TEMP is %USERPROFILE%\Temp there).
temp="$c/users/${USER:-$(id -un)}/Temp"
log="$temp/CVPurgeline.log.txt"
victim="$c/cvloglink_victim/keep.txt"
cleanup() {
  rm -f "$log"
  rm -rf "$c/cvloglink_victim"
  end_session
}
trap cleanup EXIT
cleanup
mkdir -p "$temp" "$(dirname "$victim")"
echo "not the suite's" >"$victim"
ln -s "$victim" "$log"

run "$bin/Purgeline.exe" || { echo "Purgeline failed"; exit 1; }

check "the link's target $victim keeps its content" \
  test "$(cat "$victim" 2>/dev/null)" = "not the suite's"
check "the log is a file of its own at $log" test ! -L "$log"
check "the log was written afresh" grep -q '\*\*\*\* Search .* info \*\*\*\*' "$log"
finish
