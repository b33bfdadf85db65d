#!/usr/bin/env bash
# Checks a built Windows binary: its format, subsystem, that it imports system DLLs only (no
# MinGW runtime beside it), and optionally its embedded manifest's execution level.
#   check_binary.sh FILE FORMAT SUBSYSTEM [EXECUTION_LEVEL]
#   e.g. check_binary.sh Purgeline.exe pei-i386 "Windows GUI" requireAdministrator
set -u
file="$1" format="$2" subsystem="$3" level="${4:-}"
fail=0
dump="$(x86_64-w64-mingw32-objdump -p "$file")"

grep -q "file format $format" <<<"$dump" || { echo "not $format: $file"; fail=1; }
grep -Eq "^Subsystem[[:space:]]+[0-9]+[[:space:]]+\($subsystem\)" <<<"$dump" \
  || { echo "subsystem is not $subsystem"; fail=1; }

system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|msvcrt|crypt32|msi|version|ws2_32|rpcrt4|secur32|userenv|bcrypt|ntdll|comctl32|psapi|api-ms-win-.*)\.dll$'
while read -r dll; do
  if ! grep -Eiq "$system_dlls" <<<"$dll"; then
    echo "imports a non-system DLL: $dll"; fail=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")

if [ -n "$level" ]; then
  grep -aq "level=\"$level\" uiAccess=\"false\"" "$file" \
    || { echo "manifest does not ask for $level"; fail=1; }
fi
[ $fail -eq 0 ] && echo "ok: $file"
exit $fail
