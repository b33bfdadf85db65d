#!/usr/bin/env bash
# Builds Product.wxs (beside this script) into an installer package with msitools' wixl, then
# gives the package what wixl 0.101 reads but drops, so that it is the package WiX builds from
# the same source:
#   - CustomAction Execute="commit" / "rollback": wixl writes such an action as an immediate one;
#     the script adds the in-script flag (0x400) with the commit (0x200) or rollback (0x100) flag;
#   - Component Permanent="yes" (0x10) and SharedDllRefCount="yes" (0x8);
#   - MajorUpgrade Schedule: wixl always removes the old version right after InstallValidate;
#   - Package Platform: wixl takes the platform from its -a option, given for Win64=yes.
#
#   build-with-wixl.sh OUTPUT.msi -D Win64=no -D ProductName=... (every value Product.wxs lists)
# Win64=yes builds an x64 package (wixl -a x64). Needs wixl, msiinfo and msibuild (msitools).
set -euo pipefail
output="$1"
shift
source="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/Product.wxs"

arch=()
for argument in "$@"; do
  [ "$argument" = "Win64=yes" ] && arch=(-a x64)
done
wixl "${arch[@]}" -o "$output" "$@" "$source"

# The source's start tags of one element kind, one a line.
start_tags() { tr '\n' ' ' < "$source" | grep -o "<$1 [^>]*>" || true; }
# The value of attribute $2 in start tag $1, empty when it has none.
attribute() { sed -n "s/.* $2=\"\([^\"]*\)\".*/\1/p" <<< "$1"; }

# Column $3 of the row of table $1 whose first column is $2.
column() {
  msiinfo export "$output" "$1" | awk -F '\t' -v key="$2" -v n="$3" 'NR > 3 && $1 == key { sub(/\r$/, "", $n); print $n }'
}

while read -r tag; do
  [ -n "$tag" ] || continue
  id="$(attribute "$tag" Id)"
  case "$(attribute "$tag" Execute)" in
    commit) flags=$((0x400 | 0x200)) ;;
    rollback) flags=$((0x400 | 0x100)) ;;
    *) continue ;;
  esac
  type="$(column CustomAction "$id" 2)"
  msibuild "$output" -q "UPDATE CustomAction SET Type = $((type | flags)) WHERE Action = '$id'"
done <<< "$(start_tags CustomAction)"

while read -r tag; do
  [ -n "$tag" ] || continue
  id="$(attribute "$tag" Id)"
  flags=0
  [ "$(attribute "$tag" Permanent)" = yes ] && flags=$((flags | 0x10))
  [ "$(attribute "$tag" SharedDllRefCount)" = yes ] && flags=$((flags | 0x8))
  [ "$flags" -ne 0 ] || continue
  attributes="$(column Component "$id" 4)"
  msibuild "$output" -q \
    "UPDATE Component SET Attributes = $((attributes | flags)) WHERE Component = '$id'"
done <<< "$(start_tags Component)"

# MajorUpgrade Schedule: where RemoveExistingProducts goes.
schedule="$(attribute "$(start_tags MajorUpgrade)" Schedule)"
case "$schedule" in
  "" | afterInstallValidate) ;;
  afterInstallInitialize) sequence=$(($(column InstallExecuteSequence InstallInitialize 3) + 1)) ;;
  afterInstallFinalize) sequence=$(($(column InstallExecuteSequence InstallFinalize 3) + 1)) ;;
  *) echo "build-with-wixl.sh: MajorUpgrade Schedule=\"$schedule\" is not handled" >&2; exit 1 ;;
esac
if [ -n "${sequence:-}" ]; then
  msibuild "$output" -q "UPDATE InstallExecuteSequence SET Sequence = $sequence WHERE Action = 'RemoveExistingProducts'"
fi
