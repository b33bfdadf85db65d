#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12 machine, as root.
# Safe to run again: every step checks first and does nothing when its work is already done.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="${CORVANE_DEPS_DIR:-$root/.deps}"
export DEBIAN_FRONTEND=noninteractive

packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          wine wine64 wine32:i386 msitools wixl libboost1.74-dev googletest
          dpkg-dev xz-utils file zip unzip osslsigncode openssl)

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

enable_i386_and_sources() {
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # The security archive's i386 index can lag its amd64 twin; preferring the main archive
  # keeps wine32:i386 installable while they are out of step.
  local pin=/etc/apt/preferences.d/corvane-security-pin
  [ -f "$pin" ] || printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
  local src=/etc/apt/sources.list.d/corvane-deb-src.sources
  [ -f "$src" ] || printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' >"$src"
}

install_packages() {
  local need
  need="$(missing_packages)"
  [ -z "$need" ] && return 0
  enable_i386_and_sources
  # apt-get update exits 100 while one index lags; the installs below are the real test.
  apt-get update -q || true
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $need
}

fetch_boost_sources() {
  local dest="$deps/boost-src"
  [ -f "$dest/.complete" ] && return 0
  enable_i386_and_sources
  mkdir -p "$deps/dl" "$dest"
  if ! ls "$deps"/dl/boost1.74_*.orig.tar.* >/dev/null 2>&1; then
    apt-get update -q || true
    (cd "$deps/dl" && apt-get source --download-only boost1.74)
  fi
  local tarball
  tarball="$(find "$deps/dl" -maxdepth 1 -name 'boost1.74_*.orig.tar.*' | sort | sed -n 1p)"
  tar -xf "$tarball" -C "$dest" --strip-components=1 --wildcards \
      '*/libs/serialization/src/*' '*/libs/filesystem/src/*'
  touch "$dest/.complete"
}

# Wine runs 32-bit Windows programs through its 32-bit Linux loader. Some kernels (virtual
# machines among them) cannot execute i386 Linux programs at all; there the loader runs under
# qemu's user-mode emulator, registered for i386 programs. qemu 7.2 needs over a minute to
# start each 32-bit Wine process (its mmap emulation of Wine's address-space reservation), the
# backported qemu 10 a fraction of a second.
i386_runs_natively() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

enable_i386_emulation() {
  i386_runs_natively && return 0
  local bpo=/etc/apt/sources.list.d/corvane-backports.sources
  if [ ! -f "$bpo" ]; then
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' >"$bpo"
    apt-get update -q || true
  fi
  if ! /usr/bin/qemu-i386-static --version 2>/dev/null | grep -q 'version 1[0-9]'; then
    apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static
  fi
  local misc=/proc/sys/fs/binfmt_misc
  [ -f "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
  # Registered with F: the kernel keeps the interpreter file it saw at registration, so an
  # entry made before an upgrade of qemu keeps running the old one. Register anew.
  [ -f "$misc/qemu-i386" ] && echo -1 >"$misc/qemu-i386"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$misc/register"
  i386_runs_natively || { echo "bootstrap: i386 programs still cannot run" >&2; exit 1; }
}

install_packages
enable_i386_emulation
fetch_boost_sources
echo "bootstrap: ready (dependencies in $deps)"
