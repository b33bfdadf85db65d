#!/usr/bin/env bash
# A link planted on the way to a folder that Purgeline removes must not lead the removal into
# its target: C:\ProgramData\Ravelins, made a link to another vendor's folder, keeps that
# folder's files, the log names the link, and the suite's other folders still go. Wine shows a
# Unix symbolic link inside drive_c to Windows programs as a directory reparse point.
#   purgeline_link_on_the_way_test.sh BIN_FOLDER
set -u
source "$(dirname "${BASH_SOURCE[0]}")/scenario.sh"

common="$c/ProgramData"
target="$c/Lantern/precious"
scenario_cleanup() {
  rm -f "$common/Ravelins"
  rm -rf "$target"
}
trap end_seeded_scenario EXIT
begin_seeded_scenario
# The framework's data folder is replaced by a link to a folder that is not the suite's.
rm -rf "$common/Ravelins"
mkdir -p "$target/Suite" "$target/Programs Bar"
echo "not the suite's" >"$target/Suite/keep.txt"
echo "not the suite's" >"$target/Programs Bar/keep.txt"
ln -s "$target" "$common/Ravelins"
find "$c/users" -name CVPurgeline.log.txt -delete

run "$bin/Purgeline.exe" || { echo "Purgeline failed"; exit 1; }

log="$(find "$c/users" -name CVPurgeline.log.txt | head -n 1)"
check "the log exists" test -n "$log"
check "the link's target keeps Suite\\keep.txt" test -f "$target/Suite/keep.txt"
check "the link's target keeps Programs Bar\\keep.txt" test -f "$target/Programs Bar/keep.txt"
check "the log names the link" grep -aq "ProgramData\\\\Ravelins' is a link" "$log"
check "another vendor's data stays" test -f "$common/Lantern/keep.txt"
check "the suite's data folder goes" test ! -e "$common/Corvane"
check "the client GUID folder goes" test ! -e "$common/{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}"
check "the framework's data in another profile goes" \
  test ! -e "$c/users/alice/AppData/Roaming/Ravelins/Suite"
check "the VirtualStore copy goes" \
  test ! -e "$c/users/alice/AppData/Local/VirtualStore/ProgramData/Ravelins"
[ "$failed" = 0 ] || grep -a "Ravelins" "$log" | head -n 20
finish
