#!/usr/bin/env bash
# Builds two installer packages with wixl: a product of the suite (the upgrade code Purgeline
# removes; one feature, two components, an icon) and another vendor's product of the same shape,
# then runs TEST_EXE, which installs both with the prefix's real msiexec, runs Purgeline and
# compares the Windows Installer stores and folder with the machine before the suite's product.
#   purgeline_msi_leftovers_test.sh TEST_EXE
set -euo pipefail
trap 'echo "purgeline_msi_leftovers_test.sh: the check in line $LINENO failed" >&2' ERR
test_exe="$1"

work="$CORVANE_BINARY_DIR/purgeline_msi_leftovers/$CORVANE_PREFIX_KIND"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# A 16x16 icon with one 1-bit image: 6 + 16 + 40 + 8 + 64 + 64 bytes.
{
  printf '\x00\x00\x01\x00\x01\x00\x10\x10\x02\x00\x01\x00\x01\x00\xb0\x00\x00\x00\x16\x00\x00\x00'
  printf '\x28\x00\x00\x00\x10\x00\x00\x00\x20\x00\x00\x00\x01\x00\x01\x00'
  head -c 24 /dev/zero
  printf '\x00\x00\x00\x00\xff\xff\xff\x00'
  head -c 128 /dev/zero
} > icon.ico
echo "first file" > a.txt
echo "second file" > b.txt

# package NAME PRODUCT_CODE UPGRADE_CODE MANUFACTURER FOLDER COMPONENT_A COMPONENT_B
package() {
  cat > "$1.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$2" Name="$1" Language="1033" Version="1.0.0" Manufacturer="$4" UpgradeCode="$3">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="p.cab" EmbedCab="yes"/>
    <Icon Id="ProductIcon.ico" SourceFile="icon.ico"/>
    <Property Id="ARPPRODUCTICON" Value="ProductIcon.ico"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="$5">
          <Component Id="A" Guid="$6"><File Id="a" Source="a.txt" KeyPath="yes"/></Component>
          <Component Id="B" Guid="$7"><File Id="b" Source="b.txt" KeyPath="yes"/></Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="A"/><ComponentRef Id="B"/></Feature>
  </Product>
</Wix>
WXS
  wixl -o "$1.msi" "$1.wxs"
}

package corvane "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4E51}" "{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}" \
  Corvane CorvaneLeftovers "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4EA1}" \
  "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4EB2}"
# A second product of the suite, for the run that is cut off.
package corvane2 "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4E52}" "{5D0B7C3E-2A94-4F61-B8E2-91C4A7D3F056}" \
  Corvane CorvaneLeftovers2 "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4EA3}" \
  "{7C1D2E3F-4A5B-4C6D-8E9F-0A1B2C3D4EB4}"
package other "{8D2E3F40-5B6C-4D7E-9FA0-1B2C3D4E5F62}" "{8D2E3F40-5B6C-4D7E-9FA0-1B2C3D4E5F00}" \
  "Another Vendor" OtherVendorProduct "{8D2E3F40-5B6C-4D7E-9FA0-1B2C3D4E5FA1}" \
  "{8D2E3F40-5B6C-4D7E-9FA0-1B2C3D4E5FB2}"

export CORVANE_LEFTOVER_PACKAGES="Z:$(pwd | tr / '\\')"
exec "$CORVANE_SOURCE_DIR/tools/wine-run" "$test_exe"
