#!/usr/bin/env bash
# A report-only run whose report name in the temporary folder was planted as a link to a file
# that is not the suite's: the other file keeps its content, and the report is written afresh
# in the link's place. Wine cannot make Windows links; a Unix symbolic link inside drive_c leads
# Windows programs to its target.
#   purgeline_report_link_test.sh BIN_FOLDER
set -u
source "$(dirname "${BASH_SOURCE[0]}")/scenario.sh"
temp="$c/users/${USER:-$(id -un)}/Temp"
report="$temp/CVPurgeline.report.txt"
victim="$c/cvreportlink_victim/keep.txt"
cleanup() {
  rm -f "$report"
  rm -rf "$c/cvreportlink_victim"
  end_session
}
trap cleanup EXIT
cleanup
mkdir -p "$temp" "$(dirname "$victim")"
echo "not the suite's" >"$victim"
ln -s "$victim" "$report"

run "$bin/Purgeline.exe" /report || { echo "Purgeline failed"; exit 1; }

check "the link's target $victim keeps its content" \
  test "$(cat "$victim" 2>/dev/null)" = "not the suite's"
check "the report is a file of its own at $report" test ! -L "$report"
check "the report starts with a byte order mark and the run" \
  grep -q $'^\xEF\xBB\xBFPurgeline .* report-only run' "$report"
check "the report ends with its summary" grep -q '^schedule at restart: [0-9]' "$report"
finish
