#!/usr/bin/env bash
# Throwaway Wine prefixes for tests and the demo.
#   prefix.sh create DIR win64|win32   fresh copy of a pristine prefix of that kind at DIR
#   prefix.sh kill DIR                  ends the prefix's wineserver and every process of it
#                                       (if one runs), waiting until it is gone
# Pristine prefixes are made once with wineboot and kept in $CORVANE_PRISTINE_DIR
# (default: build/prefixes beside this script's repository).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
pristine_dir="${CORVANE_PRISTINE_DIR:-$root/build/prefixes}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

make_pristine() {
  local arch="$1" dest="$pristine_dir/pristine-$arch"
  [ -f "$dest/.complete" ] && return 0
  mkdir -p "$pristine_dir"
  (
    flock 9
    [ -f "$dest/.complete" ] && exit 0
    rm -rf "$dest"
    if [ "$arch" = win32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    WINEPREFIX="$dest" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$dest" wineserver -w
    touch "$dest/.complete"
  ) 9>"$pristine_dir/.lock-$arch"
}

end_session() {
  local dir="$1"
  if [ -d "$dir" ] && WINEPREFIX="$dir" wineserver -k 2>/dev/null; then
    WINEPREFIX="$dir" timeout 30 wineserver -w 2>/dev/null || true
  fi
}

case "${1:-}" in
  create)
    dir="$2" arch="$3"
    make_pristine "$arch"
    end_session "$dir"
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    cp -a "$pristine_dir/pristine-$arch" "$dir"
    rm -f "$dir/.complete"
    ;;
  kill)
    end_session "$2"
    ;;
  *)
    echo "usage: prefix.sh create DIR win64|win32 | kill DIR" >&2
    exit 2
    ;;
esac
