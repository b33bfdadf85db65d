#!/usr/bin/env bash
# A link planted in a user's profile must not lead Purgeline's removals outside it: the folder
# the link points to, and its file, survive the run. Wine shows a Unix symbolic link inside
# drive_c to Windows programs as a directory reparse point, the one kind of link it offers.
#   purgeline_planted_link_test.sh BIN_FOLDER
set -u
bin="$1"
# The seeded suite's processes must still run when Purgeline starts: one Wine session for the
# whole scenario, ended here rather than after each program.
own_session="${CORVANE_OWN_SESSION:-0}"
export CORVANE_OWN_SESSION=0
end_session() { [ "$own_session" = 1 ] && "$CORVANE_SOURCE_DIR/tools/prefix.sh" kill "$WINEPREFIX"; }
run() { "$CORVANE_SOURCE_DIR/tools/wine-run" "$@"; }

target="$WINEPREFIX/drive_c/Lantern/precious"
profile_suite="$WINEPREFIX/drive_c/users/alice/AppData/Roaming/Ravelins/Suite"
cleanup() {
  run "$bin/demo_seed.exe" --stop
  rm -f "$profile_suite/planted"
  rm -rf "$target"
  end_session
}
trap cleanup EXIT
end_session

run "$bin/demo_seed.exe" --stop
run "$bin/demo_seed.exe" || { echo "seeding failed"; exit 1; }
mkdir -p "$target"
echo "not the suite's" >"$target/keep.txt"
ln -s "$target" "$profile_suite/planted"

run "$bin/Purgeline.exe" || { echo "Purgeline failed"; exit 1; }

if [ ! -f "$target/keep.txt" ]; then
  echo "FAIL: the removal followed the planted link and deleted $target/keep.txt"
  exit 1
fi
echo "ok: the target of the planted link survived"
