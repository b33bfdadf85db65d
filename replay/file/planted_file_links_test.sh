#!/usr/bin/env bash
# Plants file names as Unix symbolic links to other files in the prefix, runs the given test
# program's planted-link tests against them, and checks from outside Windows that the link
# targets are untouched. Wine cannot make Windows links, but a Unix symbolic link inside drive_c
# leads Windows programs to its target, which is what a planted link does.
#   planted_file_links_test.sh <test.exe> <gtest filter>
set -u
exe="$1"
filter="$2"
c="$WINEPREFIX/drive_c"
links="$c/cvfilelinks"
victims="$c/cvfilelinks_victims"

clean() {
  rm -rf "$links" "$victims"
}

plant() {
  mkdir -p "$links" "$victims"
  echo "keep log" >"$victims/log.txt"
  echo "keep rot" >"$victims/rot.txt"
  echo "keep shift" >"$victims/shift.txt"
  echo "keep cfg" >"$victims/cfg.txt"
  echo "keep cfg2" >"$victims/cfg2.txt"
  # The log file itself.
  ln -s "$victims/log.txt" "$links/Log.log.txt"
  # Rotation: the single backup, and the newest of two backups.
  echo OLD >"$links/Rot.log.txt"
  ln -s "$victims/rot.txt" "$links/Rot.1.log.txt"
  echo OLD >"$links/Shift.log.txt"
  echo B1 >"$links/Shift.1.log.txt"
  ln -s "$victims/shift.txt" "$links/Shift.2.log.txt"
  # The configuration's temporary file, met by a save and by a load.
  ln -s "$victims/cfg.txt" "$links/product.cfg.new"
  ln -s "$victims/cfg2.txt" "$links/product2.cfg.new"
}

# Every target is still there with its content, whatever the tests saw.
check_victims() {
  local rc=0 name
  for name in log rot shift cfg cfg2; do
    if [ "$(cat "$victims/$name.txt" 2>/dev/null)" != "keep $name" ]; then
      echo "planted link target $name.txt was changed, moved or deleted" >&2
      rc=1
    fi
  done
  return $rc
}

clean
plant
CORVANE_PLANTED_LINKS=1 "$CORVANE_SOURCE_DIR/tools/wine-run" "$exe" --gtest_filter="$filter"
rc=$?
check_victims || rc=1
clean
exit $rc
