#!/usr/bin/env bash
# Builds installer packages from examples/setupmate/Product.wxs with the example's own
# build-with-wixl.sh, as shipped, and runs setupmate_msi_test, which installs, upgrades and removes
# them with the prefix's real msiexec.
#   setupmate_msi_test.sh SETUPMATE_DLL TEST_COM_OK TEST_COM_FAIL TEST_EXE
# Packages of the 32-bit DLL are x86 packages, those of the 64-bit DLL x64 packages.
set -euo pipefail
trap 'echo "setupmate_msi_test.sh: the check in line $LINENO failed" >&2' ERR
setupmate="$1" com_ok="$2" com_fail="$3" test_exe="$4"

work="$CORVANE_BINARY_DIR/setupmate_msi/$CORVANE_PREFIX_KIND"
rm -rf "$work"
mkdir -p "$work"
cp "$setupmate" "$com_ok" "$com_fail" "$work/"
cd "$work"

if objdump -f Setupmate.dll 2>/dev/null | grep -q 'x86-64'; then
  win64=yes
else
  win64=no
fi
build="$CORVANE_SOURCE_DIR/examples/setupmate/build-with-wixl.sh"

# package NAME VERSION UPGRADE_CODE PRODUCT_KEY PLUGIN_DLL CLSID FILES
package() {
  bash "$build" "$1.msi" -D Win64="$win64" -D ProductName="Setupmate test $1" \
    -D ProductVersion="$2" -D UpgradeCode="$3" -D ProductKey="$4" \
    -D SetupmateDll=Setupmate.dll -D PluginDll="$5" -D PluginClsid="$6" -D PluginFiles="$7" \
    > "$1.build.txt" 2>&1 || { cat "$1.build.txt" >&2; exit 1; }
}

ok_clsid="{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E61}"
fail_clsid="{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E62}"
# P, versions 1 and 2: registers the working COM server.
package P1 1.0.0 7A0B6A51-1C01-4F0E-9D55-1D5E8A000001 Corvane test_com_ok.dll "$ok_clsid" \
  test_com_ok.dll
package P2 2.0.0 7A0B6A51-1C01-4F0E-9D55-1D5E8A000001 Corvane test_com_ok.dll "$ok_clsid" \
  test_com_ok.dll
# F: a server that fails half way (it writes its class key) and a proof key that nobody writes.
package F 1.0.0 7A0B6A51-1C01-4F0E-9D55-1D5E8A000002 "Corvane Fail" test_com_fail.dll \
  "{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E63}" test_com_fail.dll
# R, the second product: the half-failing server whose class key proves its registration. Its
# file list starts with 2100 empty items, so the files action finds the names only when it reads
# the whole CustomActionData.
commas="$(printf ',%.0s' $(seq 1 2100))"
package R 1.0.0 7A0B6A51-1C01-4F0E-9D55-1D5E8A000004 "Corvane Mail" test_com_fail.dll \
  "$fail_clsid" "${commas}test_com_ok.dll,,held.dll,missing.dll,test_com_fail.dll,"

# What WiX would have built: commit and rollback actions in the script, a permanent shared file.
types="$(msiinfo export P1.msi CustomAction)"
grep -qP '^RemovePluginFiles\t3649\t' <<< "$types"         # 0x800|0x400|0x200|0x40|1
grep -qP '^RemovePluginRegKeys\t1601\t' <<< "$types"       # 0x400|0x200|0x40|1
grep -qP '^RemovePluginLogs\t1601\t' <<< "$types"          # impersonated, like the keys action
grep -qP '^UnregisterPluginOnRollback\t3442\t' <<< "$types" # 0x800|0x400|0x100|0x40|50
# The plug-in's file: Permanent (0x10), SharedDllRefCount (0x8), in an x64 package 64-bit (0x100).
if [ "$win64" = yes ]; then attributes=280; else attributes=24; fi
grep -qP "^PluginDll\t\S+\tPLUGINDIR\t$attributes\t" <<< "$(msiinfo export P1.msi Component)"
grep -q "^Template: $([ "$win64" = yes ] && echo x64 || echo Intel);1033" <<< "$(msiinfo suminfo P1.msi)"
# The old version goes after the new one is installed (MajorUpgrade Schedule).
grep -qP '^RemoveExistingProducts\t\t6601' <<< "$(msiinfo export P1.msi InstallExecuteSequence)"

export SETUPMATE_MSI_DIR="Z:$(pwd | tr / '\\')"
exec "$CORVANE_SOURCE_DIR/tools/wine-run" "$test_exe"
