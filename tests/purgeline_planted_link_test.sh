#!/usr/bin/env bash
# A link planted in a user's profile must not lead Purgeline's removals outside it: the folder
# the link points to, and its file, survive the run. Wine shows a Unix symbolic link inside
# drive_c to Windows programs as a directory reparse point, the one kind of link it offers.
#   purgeline_planted_link_test.sh BIN_FOLDER
set -u
source "$(dirname "${BASH_SOURCE[0]}")/scenario.sh"

target="$c/Lantern/precious"
profile_suite="$c/users/alice/AppData/Roaming/Ravelins/Suite"
scenario_cleanup() {
  rm -f "$profile_suite/planted"
  rm -rf "$target"
}
trap end_seeded_scenario EXIT
begin_seeded_scenario
mkdir -p "$target"
echo "not the suite's" >"$target/keep.txt"
ln -s "$target" "$profile_suite/planted"

run "$bin/Purgeline.exe" || { echo "Purgeline failed"; exit 1; }

check "the target of the planted link survived" test -f "$target/keep.txt"
finish
