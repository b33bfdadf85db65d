#!/usr/bin/env bash
# Plants links in the prefix and runs the folder operations' link tests against them.
# Wine cannot make Windows links, but a Unix symbolic link inside drive_c shows up to Windows
# code as a reparse point: the only kind of planted link this platform offers.
# The race tests ask, through marker files in C:\cvrace_sync, for an entry to be swapped for a
# link at the moment the removal is about to open it; the swapper below does it and answers.
#   folders_link_test.sh <cleanup_folders_test.exe>
set -u
exe="$1"
c="$WINEPREFIX/drive_c"
users="$c/users"
common="$c/ProgramData"

clean() {
  rm -rf "$c/cvlink_target" "$c/cvlink_store" "$c/cvlink_client" "$c/cvlink_empty_target" \
    "$c/cvlink_folder" "$c/cvlink_top" "$c/cvlink_empty_link" "$common/{cvlink}" \
    "$users/cvlink_user1" "$users/cvlink_user2" "$users/cvlink_user3" \
    "$c/cvlink_base" "$c/cvlink_way_target" "$c/cvrace" "$c/cvrace_target" "$c/cvrace_sync" "$common/{cvrace}" "$users/cvrace_user"
}

# Answers each request "FROM TO [move]" (relative to drive_c) by replacing FROM with a link to
# TO; with "move", FROM is first moved to TO.
swapper() {
  local sync="$c/cvrace_sync" from to how
  while [ -d "$sync" ]; do
    if [ -f "$sync/request" ]; then
      read -r from to how <"$sync/request"
      rm -f "$sync/request"
      if [ "$how" = move ]; then
        mv "$c/$from" "$c/$to"
      else
        rm -rf "${c:?}/$from"
      fi
      ln -s "$c/$to" "$c/$from"
      touch "$sync/done"
    fi
    sleep 0.02
  done
}

plant() {
  local store=AppData/Local/VirtualStore/ProgramData/Ravelins
  local roaming=AppData/Roaming/CvLinkTest
  mkdir -p "$c/cvlink_target" "$c/cvlink_store/ProgramData/Ravelins" "$c/cvlink_client" \
    "$c/cvlink_empty_target" "$c/cvlink_folder"
  echo keep >"$c/cvlink_target/keep.txt"
  echo keep >"$c/cvlink_store/ProgramData/Ravelins/keep.txt"
  echo keep >"$c/cvlink_client/Corvane_Client.msi"
  # A link inside the folder to remove, and the folder itself a link.
  mkdir -p "$users/cvlink_user1/$store" "$users/cvlink_user1/$roaming"
  echo x >"$users/cvlink_user1/$store/own.txt"
  ln -s "$c/cvlink_target" "$users/cvlink_user1/$store/inner"
  ln -s "$c/cvlink_target" "$users/cvlink_user1/$roaming/inner"
  mkdir -p "$users/cvlink_user2/AppData/Local/VirtualStore/ProgramData" "$users/cvlink_user2/AppData/Roaming"
  ln -s "$c/cvlink_target" "$users/cvlink_user2/$store"
  ln -s "$c/cvlink_target" "$users/cvlink_user2/$roaming"
  # A link on the way to the folder to remove.
  mkdir -p "$users/cvlink_user3/AppData/Local"
  ln -s "$c/cvlink_store" "$users/cvlink_user3/AppData/Local/VirtualStore"
  # Links met by remove_folder, remove_empty_folder and the client GUID folders.
  echo x >"$c/cvlink_folder/own.txt"
  ln -s "$c/cvlink_target" "$c/cvlink_folder/inner"
  ln -s "$c/cvlink_target" "$c/cvlink_top"
  ln -s "$c/cvlink_empty_target" "$c/cvlink_empty_link"
  ln -s "$c/cvlink_client" "$common/{cvlink}"
  # A link on the way from a shell folder (here C:\cvlink_base) to the folder to remove.
  mkdir -p "$c/cvlink_base/Own/Suite" "$c/cvlink_way_target/Suite/empty"
  echo x >"$c/cvlink_base/Own/Suite/own.txt"
  echo keep >"$c/cvlink_way_target/Suite/keep.txt"
  ln -s "$c/cvlink_way_target" "$c/cvlink_base/Ravelins"
}

clean
plant
mkdir -p "$c/cvrace_sync"
swapper &
swapper_pid=$!
CORVANE_PLANTED_LINKS=1 "$CORVANE_SOURCE_DIR/tools/wine-run" "$exe" --gtest_filter='PlantedLink*'
rc=$?
rm -rf "$c/cvrace_sync"
wait "$swapper_pid"
clean
exit $rc
