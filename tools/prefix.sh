#!/usr/bin/env bash
# Throwaway Wine prefixes for tests and the demo.
#   prefix.sh create DIR win64|win32   fresh copy of a pristine prefix of that kind at DIR
#   prefix.sh kill DIR                  ends the prefix's wineserver and every process of it
#                                       (if one runs), waiting until it is gone
#   prefix.sh share DIR win64|win32    create, then starts the prefix's wineserver to stay until
#                                       killed: the Wine session (services.exe and the other
#                                       system processes, seconds of 32-bit process starts) is
#                                       started once for all the tests sharing the prefix, not
#                                       again after each pause between them
#   prefix.sh discard DIR               kill, then deletes the prefix (kept when
#                                       CORVANE_KEEP_PREFIXES=1, for a look after a failure)
#   prefix.sh run DIR win64|win32 COMMAND...
#                                       a test on a machine of its own: create, runs COMMAND
#                                       with WINEPREFIX=DIR and CORVANE_OWN_PREFIX=1, then
#                                       discard; exits with COMMAND's status. The prefix exists
#                                       only while its test runs.
#   prefix.sh sweep ROOT NAME...        discard every prefix below ROOT but those NAMEd (what a
#                                       test ended by a timeout left)
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

create() {
  local dir="$1" arch="$2"
  make_pristine "$arch"
  end_session "$dir"
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  cp -a "$pristine_dir/pristine-$arch" "$dir"
  rm -f "$dir/.complete"
}

discard() {
  end_session "$1"
  [ "${CORVANE_KEEP_PREFIXES:-0}" = 1 ] || rm -rf "$1"
}

case "${1:-}" in
  create)
    create "$2" "$3"
    ;;
  kill)
    end_session "$2"
    ;;
  share)
    create "$2" "$3"
    # Never given the caller's output: CTest would wait for the server to close it.
    WINEPREFIX="$2" wineserver -p </dev/null >/dev/null 2>&1
    ;;
  discard)
    discard "$2"
    ;;
  sweep)
    sweep_root="$2"
    shift 2
    for dir in "$sweep_root"/*/; do
      dir="${dir%/}"
      [ -d "$dir" ] || continue
      case " $* " in *" $(basename "$dir") "*) continue ;; esac
      discard "$dir"
    done
    ;;
  run)
    dir="$2"
    create "$dir" "$3"
    shift 3
    WINEPREFIX="$dir" CORVANE_OWN_PREFIX=1 "$@" &
    command=$!
    # A test that times out is ended with TERM: its programs and its copy go with it.
    trap 'kill "$command" 2>/dev/null; wait "$command"; discard "$dir"; exit 143' TERM INT
    status=0
    wait "$command" || status=$?
    discard "$dir"
    exit "$status"
    ;;
  *)
    echo "usage: prefix.sh create|share DIR win64|win32 | kill|discard DIR" \
         "| run DIR win64|win32 COMMAND... | sweep ROOT NAME..." >&2
    exit 2
    ;;
esac
