#!/usr/bin/env bash
# Builds installer packages from examples/setupmate/Product.wxs with wixl and runs
# setupmate_msi_test, which installs and removes them with the prefix's real msiexec.
#   setupmate_msi_test.sh WIXL SETUPMATE_DLL TEST_COM_OK TEST_COM_FAIL TEST_EXE
# Packages of the 32-bit DLL are x86 packages, those of the 64-bit DLL x64 packages.
set -euo pipefail
wixl="$1" setupmate="$2" com_ok="$3" com_fail="$4" test_exe="$5"

work="$CORVANE_BINARY_DIR/setupmate_msi/$CORVANE_PREFIX_KIND"
rm -rf "$work"
mkdir -p "$work"
cp "$setupmate" "$com_ok" "$com_fail" "$work/"
cd "$work"

if objdump -f Setupmate.dll 2>/dev/null | grep -q 'x86-64'; then
  arch=(-a x64) win64=yes
else
  arch=() win64=no
fi
example="$CORVANE_SOURCE_DIR/examples/setupmate/Product.wxs"

# package NAME UPGRADE_CODE PRODUCT_KEY PLUGIN_DLL CLSID FILES [SOURCE]
package() {
  local source="${7:-$example}"
  "$wixl" "${arch[@]}" -o "$1.msi" -D Win64="$win64" -D ProductName="Setupmate test $1" \
    -D ProductVersion=1.0.0 -D UpgradeCode="$2" -D ProductKey="$3" \
    -D SetupmateDll=Setupmate.dll -D PluginDll="$4" -D PluginClsid="$5" -D PluginFiles="$6" \
    "$source" 2> "$1.wixl.txt" || { cat "$1.wixl.txt" >&2; exit 1; }
}

# P: registers the working COM server.
package P 7A0B6A51-1C01-4F0E-9D55-1D5E8A000001 Corvane test_com_ok.dll \
  "{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E61}" test_com_ok.dll
# F: a failing COM server and a proof key that nobody writes.
package F 7A0B6A51-1C01-4F0E-9D55-1D5E8A000002 "Corvane Fail" test_com_fail.dll \
  "{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E63}" test_com_fail.dll
# Q: the failing COM server whose proof key the test plants, found only when the whole
# CustomActionData is read: 2100 characters stand before HKCR_CHECK_SUBKEY. Its logs action runs
# first, so the lines of the two other removal actions stay in the module log for the test. Wine's
# installer keeps the DLL loaded between the actions of one custom-action process (the module log
# closed by the logs action stays closed there), so all but the logs action run unimpersonated,
# in the other process.
padding="PAD=$(printf 'x%.0s' $(seq 1 2100));"
sed -e "s|;HKCR_CHECK_SUBKEY=|;$padding""HKCR_CHECK_SUBKEY=|" \
    -e 's|<Custom Action="RemovePluginLogs" Sequence="2640">|<Custom Action="RemovePluginLogs" Sequence="2605">|' \
    -e 's|DllEntry="remove_mutual_plugin_regkeys" Execute="deferred"|& Impersonate="no"|' \
    -e 's|DllEntry="remove_mutual_plugin_files" Execute="deferred"|& Impersonate="no"|' \
    "$example" > q.wxs
grep -q ';PAD=xxx' q.wxs
grep -q 'Action="RemovePluginLogs" Sequence="2605"' q.wxs
grep -q 'remove_mutual_plugin_regkeys" Execute="deferred" Impersonate="no"' q.wxs
grep -q 'remove_mutual_plugin_files" Execute="deferred" Impersonate="no"' q.wxs
package Q 7A0B6A51-1C01-4F0E-9D55-1D5E8A000003 "Corvane Q" test_com_fail.dll \
  "{6E0F4C2A-8B1D-4C55-9A3E-1F2B3C4D5E62}" ",test_com_ok.dll,,held.dll,missing.dll,test_com_fail.dll," q.wxs
msiinfo export Q.msi InstallExecuteSequence | grep 'RemovePluginLogs.*2605' > /dev/null

export SETUPMATE_MSI_DIR="Z:$(pwd | tr / '\\')"
exec "$CORVANE_SOURCE_DIR/tools/wine-run" "$test_exe"
