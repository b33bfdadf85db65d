#!/usr/bin/env bash
# Builds the release drop of Purgeline and Setupmate from this working tree:
#   bash tools/release.sh [OUTPUT_FOLDER]          (default: build/release)
#   bash tools/release.sh --from-builds I686_BUILD X86_64_BUILD OUTPUT_FOLDER
#       makes the drop of binaries already built in those two build folders (of the presets
#       i686 and x86_64) instead of building afresh: the reproducibility test compares it with
#       a drop built afresh.
# writes OUTPUT_FOLDER/corvane-cleanup-<version>/ and a .zip of it, holding Purgeline.exe,
# Setupmate.dll for x86 and x64, the example package sources, a SHA-256 list and README.txt
# (what each file is, the DLL's exports and CustomActionData keys, the version and commit).
#
# The three binaries are built afresh, without a compiler cache, in build/release-i686 and
# build/release-x86_64; a tree whose tracked files differ from its commit gives binaries whose
# commit is marked "-dirty". With CORVANE_SIGN_CERT and CORVANE_SIGN_PASSWORD set (see
# tools/sign.sh) the binaries are Authenticode-signed; without them nothing is signed, and
# README.txt says so. Everything else about a drop is reproducible: the same commit gives the
# same files and the same .zip.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

i686_build="$root/build/release-i686"
x86_64_build="$root/build/release-x86_64"
from_builds=0
if [ "${1:-}" = --from-builds ]; then
  [ $# -eq 4 ] || { echo "usage: release.sh --from-builds I686_BUILD X86_64_BUILD OUTPUT" >&2; exit 2; }
  from_builds=1
  i686_build="$(realpath -m "$2")"
  x86_64_build="$(realpath -m "$3")"
  shift 3
fi
out="$(realpath -m "${1:-$root/build/release}")"
deps="${CORVANE_DEPS_DIR:-$root/.deps}"
jobs="${CORVANE_JOBS:-$(nproc)}"
exports=(register_dll_wi remove_mutual_plugin_files remove_mutual_plugin_logs
         remove_mutual_plugin_regkeys)

fail() { echo "release: $*" >&2; exit 1; }

# A release build sees no compiler cache, however the caller's environment is set up.
export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER

# build PRESET TARGET...: a fresh build folder for the toolchain PRESET, only these targets.
build() {
  local preset="$1" dir="$root/build/release-$1"
  shift
  echo "==== build $preset: $*"
  rm -rf "$dir"
  mkdir -p "$root/build"
  cmake -S "$root" -B "$dir" -G Ninja --toolchain "$root/cmake/toolchain-$preset.cmake" \
        -DCMAKE_BUILD_TYPE=Release "-DCORVANE_DEPS_DIR=$deps" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; fail "configuring $preset failed"; }
  rm -f "$dir.configure.log"
  cmake --build "$dir" -j "$jobs" --target "$@" >"$dir.build.log" 2>&1 \
    || { tail -n 60 "$dir.build.log"; fail "building $preset failed"; }
  rm -f "$dir.build.log"
}

# The value of a #define of the generated version header of the i686 build.
header_value() {
  sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$i686_build/generated/corvane_version.h"
}

# The names a DLL exports, one a line, sorted.
dll_exports() {
  x86_64-w64-mingw32-objdump -p "$1" \
    | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | sort
}

# Files of examples/: the tracked ones when this is a git working tree.
example_files() {
  if git -C "$root" rev-parse --show-toplevel >/dev/null 2>&1 \
     && [ "$(realpath "$(git -C "$root" rev-parse --show-toplevel)")" = "$(realpath "$root")" ]; then
    git -C "$root" ls-files examples
  else
    find examples -type f | sort
  fi
}

signing_text() {
  if [ -n "${CORVANE_SIGN_CERT:-}" ]; then
    echo "Purgeline.exe, x86\\Setupmate.dll and x64\\Setupmate.dll carry an Authenticode"
    echo "signature (SHA-256) made with the certificate:"
    echo "  $(openssl pkcs12 -in "$CORVANE_SIGN_CERT" -nokeys -clcerts \
                -passin env:CORVANE_SIGN_PASSWORD 2>/dev/null \
              | openssl x509 -noout -subject 2>/dev/null)"
  else
    echo "Not signed: no certificate was given to tools/release.sh. Sign the three binaries"
    echo "before shipping them, or build the drop again with CORVANE_SIGN_CERT and"
    echo "CORVANE_SIGN_PASSWORD set."
  fi
}

readme_text() {
  cat <<TEXT
Corvane clean-up $version
Built from commit $commit

Files
  Purgeline.exe
      32-bit Windows program without a window; its manifest asks for administrator rights.
      Run it when the Corvane suite is upgraded: it ends the suite's processes, unregisters
      the product from the shared Dizavad framework and removes the framework when no other
      product needs it, deletes the product's registry keys, Start-menu folders, data and
      program folders (in every user profile and the VirtualStore too) and its Windows
      Installer registrations. Optional command line: brand name, suite name and service
      name, separated by blanks. It logs every step to %TEMP%\\CVPurgeline.log.txt, whose
      first line names this version and commit.
  x86\\Setupmate.dll
      Windows Installer custom-action DLL for 32-bit packages.
  x64\\Setupmate.dll
      The same custom actions for 64-bit packages.
  examples\\setupmate\\Product.wxs
      Example package source (WiX) showing how a package wires Setupmate's actions.
  README.txt
      This text.
  SHA256SUMS
      SHA-256 of every other file (check with: sha256sum -c SHA256SUMS).

Setupmate.dll exports
  Each is a custom action: one argument, the installer handle. Deferred actions read their
  parameters from the property CustomActionData, entries KEY=value each closed by ";" (the
  last one too); a missing key reads as empty.

  register_dll_wi
      Registers a COM DLL with regsvr32 /s. When regsvr32 fails, the registration is accepted
      if HKEY_CLASSES_ROOT\\<HKCR_CHECK_SUBKEY> exists. Returns 0, or 1603 (failure).
      CustomActionData keys:
        DLL                full path of the COM DLL
        HKCR_CHECK_SUBKEY  key below HKEY_CLASSES_ROOT that proves the registration
      Example: DLL=C:\\Program Files\\Ravelins\\Plugin.dll;HKCR_CHECK_SUBKEY=CLSID\\{GUID};
  remove_mutual_plugin_files
      When no product is listed under HKEY_CURRENT_USER\\Software\\Ravelins\\
      RediroZiredodOravez\\Registered Plugins any more: unregisters and deletes the shared
      mail-client plug-in's files in DIR and in DIR\\x64, and their SharedDLLs values.
      CustomActionData keys:
        DIR    the plug-in's folder, ending in "\\"
        FILES  file names separated by ","
  remove_mutual_plugin_logs
      Under the same condition: deletes the plug-in's data and log folders (in every user
      profile too). No CustomActionData.
  remove_mutual_plugin_regkeys
      Under the same condition: deletes the plug-in's registry keys under
      HKEY_CURRENT_USER\\Software\\Ravelins. No CustomActionData.
  The actions log to Ravelins\\RediroZiredodOravez\\Logs\\Installer.log.txt below the common
  application data folder (C:\\ProgramData).

Signature
$(signing_text)
TEXT
}

# Every file of the drop gets the commit's time, so that the .zip of one commit is the same
# whenever it is made.
stamp_and_zip() {
  local epoch
  epoch="$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)"
  find "$drop" -exec touch -h -d "@$epoch" {} +
  rm -f "$drop.zip"
  (cd "$out" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$drop.zip")
}

bash tools/bootstrap.sh >/dev/null || fail "tools/bootstrap.sh failed"
command -v zip >/dev/null || fail "zip is not installed (tools/bootstrap.sh)"

if [ "$from_builds" = 0 ]; then
  build i686 Purgeline Setupmate
  build x86_64 Setupmate
fi
for file in "$i686_build/bin/Purgeline.exe" "$i686_build/bin/Setupmate.dll" \
            "$x86_64_build/bin/Setupmate.dll"; do
  [ -f "$file" ] || fail "$file is not built"
done

cmp -s "$i686_build/generated/corvane_version.h" "$x86_64_build/generated/corvane_version.h" \
  || fail "the x86 and x64 builds saw different versions or commits (did the tree change?)"
version="$(header_value CORVANE_VERSION_TEXT)"
commit="$(header_value CORVANE_COMMIT)"
[ -n "$version" ] && [ -n "$commit" ] || fail "no version or commit in the generated header"
case "$commit" in
  *-dirty) echo "release: WARNING: the working tree differs from its commit; binaries say $commit" >&2 ;;
  unknown) echo "release: WARNING: no git commit known; binaries say 'unknown'" >&2 ;;
esac

name="corvane-cleanup-$version"
drop="$out/$name"
rm -rf "$drop" "$drop.zip"
mkdir -p "$drop/x86" "$drop/x64"
cp "$i686_build/bin/Purgeline.exe" "$drop/"
cp "$i686_build/bin/Setupmate.dll" "$drop/x86/"
cp "$x86_64_build/bin/Setupmate.dll" "$drop/x64/"
example_files | while read -r file; do install -D -m 644 "$file" "$drop/$file"; done

# The text lists the exports; each DLL must have exactly those.
for dll in "$drop/x86/Setupmate.dll" "$drop/x64/Setupmate.dll"; do
  [ "$(dll_exports "$dll")" = "$(printf '%s\n' "${exports[@]}" | sort)" ] \
    || fail "$dll exports $(dll_exports "$dll" | tr '\n' ' '), not ${exports[*]}"
done

if [ -n "${CORVANE_SIGN_CERT:-}" ]; then
  bash tools/sign.sh "$drop/Purgeline.exe" "$drop/x86/Setupmate.dll" "$drop/x64/Setupmate.dll" \
    || fail "signing failed"
fi

readme_text | sed 's/$/\r/' >"$drop/README.txt"
(cd "$drop" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort \
   | xargs -d '\n' sha256sum >SHA256SUMS)
stamp_and_zip

echo "release: $drop"
echo "release: $drop.zip"
