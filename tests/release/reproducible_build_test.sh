#!/usr/bin/env bash
# The release drop must be byte for byte the same wherever and however it is built: the drop
# that tools/release.sh builds afresh (no compiler cache) in a fresh clone, in a folder of another
# name and length, and the drop it makes of the binaries this build folder already holds (the
# i686 and x86_64 builds of the working tree): the three binaries, the texts and the .zip. Each
# binary must carry the commit and no folder of the build machine, and the drop must be complete:
# its SHA-256 list holds, its text matches, the .zip holds the folder.
#
# A working tree that differs from HEAD is cloned with the same differences (its tracked changes
# and its untracked files), so that both drops are of the same sources and both say "-dirty".
# The builds of this folder must be up to date (tools/test.sh builds both presets first).
#   reproducible_build_test.sh SOURCE_DIR WORK_DIR DEPS_DIR I686_BUILD X86_64_BUILD
set -uo pipefail
source_dir="$1" work="$2" deps="$3" i686_build="$4" x86_64_build="$5"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

commit="$(git -C "$source_dir" rev-parse --verify HEAD)" || { echo "not a git repository"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
clone="$work/fresh-clone"
git clone --quiet --no-checkout "$source_dir" "$clone" \
  && git -C "$clone" checkout --quiet --detach "$commit" || { echo "cannot clone"; exit 1; }
# The working tree's own changes, so that the fresh build is of the sources the builds here saw.
git -C "$source_dir" diff --binary HEAD >"$work/changes.diff" \
  && { [ ! -s "$work/changes.diff" ] || git -C "$clone" apply --binary "$work/changes.diff"; } \
  || { echo "cannot apply the working tree's changes to the clone"; exit 1; }
(cd "$source_dir" && git ls-files -z --others --exclude-standard | xargs -0r cp -P --parents -t "$clone") \
  || { echo "cannot copy the working tree's untracked files to the clone"; exit 1; }

start=$SECONDS
if ! env -u CORVANE_SIGN_CERT -u CORVANE_SIGN_PASSWORD CORVANE_DEPS_DIR="$deps" \
     bash "$clone/tools/release.sh" "$clone/build/drop" >"$clone.log" 2>&1; then
  tail -n 40 "$clone.log"
  echo "tools/release.sh failed in $clone"
  exit 1
fi
echo "release of $commit built afresh in $clone: $((SECONDS - start)) s"
if ! env -u CORVANE_SIGN_CERT -u CORVANE_SIGN_PASSWORD CORVANE_DEPS_DIR="$deps" \
     bash "$source_dir/tools/release.sh" --from-builds "$i686_build" "$x86_64_build" \
     "$work/from-builds" >"$work/from-builds.log" 2>&1; then
  cat "$work/from-builds.log"
  echo "tools/release.sh --from-builds failed (are both presets built?)"
  exit 1
fi

# The commit the binaries name: HEAD, marked as the build marks a tree that differs from it.
named="$commit"
[ -z "$(git -C "$clone" status --porcelain --untracked-files=no)" ] || named="$commit-dirty"

version="$(head -n 1 "$source_dir/VERSION")"
name="corvane-cleanup-$version"
first="$clone/build/drop"
second="$work/from-builds"

# The same files, with the same bytes.
files="$(cd "$first" && find . -type f | LC_ALL=C sort)"
[ "$files" = "$(cd "$second" && find . -type f | LC_ALL=C sort)" ] \
  || fail "the two drops hold different files"
while read -r file; do
  if cmp -s "$first/$file" "$second/$file"; then continue; fi
  fail "$file differs between the fresh build and the builds in $(dirname "$i686_build") \
($(cmp -l "$first/$file" "$second/$file" 2>/dev/null | wc -l) bytes; first at offset \
$(cmp "$first/$file" "$second/$file" | sed 's/.*byte //')); are those builds up to date?"
done <<<"$files"

# The texts in a binary, narrow and UTF-16, one a line.
texts() { strings -a "$1" && strings -a -el "$1"; }

binaries=(Purgeline.exe x86/Setupmate.dll x64/Setupmate.dll)
for drop in "$first" "$second"; do
  for binary in "${binaries[@]}"; do
    path="$drop/$name/$binary"
    [ -f "$path" ] || { fail "no $binary in the drop"; continue; }
    texts "$path" >"$work/texts"
    # No folder of the build machine (the clones, the source folder, the Boost sources), also
    # not as a symbol name made from a path ("/" and "." as "_").
    for folder in "$work" "$source_dir" "$deps" "$(realpath "$deps")"; do
      for form in "$folder" "$(tr '/.-' '___' <<<"$folder")"; do
        if grep -qF "$form" "$work/texts"; then
          fail "$binary names the build folder: $(grep -F "$form" "$work/texts" | head -n 1)"
        fi
      done
    done
    grep -qxF "commit $named" "$work/texts" \
      || fail "$binary's version resource does not name commit $named"
  done
done
texts "$first/$name/Purgeline.exe" >"$work/texts"
grep -qxF "$named" "$work/texts" || fail "Purgeline.exe does not carry commit $named for its log"

# The drop itself, once (the second is the same).
folder="$first/$name"
bash "$source_dir/tests/check_binary.sh" "$folder/Purgeline.exe" pei-i386 "Windows GUI" \
  requireAdministrator || fail "Purgeline.exe"
bash "$source_dir/tests/check_binary.sh" "$folder/x86/Setupmate.dll" pei-i386 "Windows CUI" \
  || fail "x86/Setupmate.dll"
bash "$source_dir/tests/check_binary.sh" "$folder/x64/Setupmate.dll" pei-x86-64 "Windows CUI" \
  || fail "x64/Setupmate.dll"
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not hold"
listed="$(sed 's/^[0-9a-f]*  //' "$folder/SHA256SUMS" | LC_ALL=C sort)"
present="$(cd "$folder" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)"
[ "$listed" = "$present" ] || fail "SHA256SUMS does not list every file: $listed"
expected_examples="$(git -C "$clone" ls-files examples | LC_ALL=C sort)"
[ "$(grep '^examples/' <<<"$present")" = "$expected_examples" ] \
  || fail "the drop's examples are not the commit's: $(grep '^examples/' <<<"$present")"
readme="$(tr -d '\r' <"$folder/README.txt")"
for text in "Corvane clean-up $version" "Built from commit $named" register_dll_wi \
            remove_mutual_plugin_files remove_mutual_plugin_logs remove_mutual_plugin_regkeys \
            "DLL " "HKCR_CHECK_SUBKEY " "DIR " "FILES " "Not signed"; do
  grep -qF "$text" <<<"$readme" || fail "README.txt does not say: $text"
done
[ "$(unzip -Z1 "$first/$name.zip" | LC_ALL=C sort)" = \
  "$(cd "$first" && find "$name" -type f | LC_ALL=C sort)" ] || fail "the .zip does not hold the drop"
mkdir -p "$work/unzipped"
(cd "$work/unzipped" && unzip -q "$first/$name.zip") && diff -r "$work/unzipped/$name" "$folder" \
  || fail "the .zip's files differ from the drop's"

if [ "$failures" -eq 0 ]; then
  echo "reproducible: the fresh drop of $commit and the drop of the builds here are identical \
($(wc -l <<<"$files") files)"
  rm -rf "$work"
fi
echo "reproducible build: $failures failed"
[ "$failures" -eq 0 ]
