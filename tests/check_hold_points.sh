#!/usr/bin/env bash
# Checks which hold points a built program holds (replay/mutex/hold_point.h): the name of every
# point called in the sources and the function's own name (in the symbols of an unstripped
# program), each looked for as ASCII and as UTF-16 text; a shipped program must not hold the
# prefix of their event names either (the compiler may build that one from immediates, so a
# test flavour need not show it).
#   check_hold_points.sh SOURCE_DIR FILE none   a shipped program: none of them
#   check_hold_points.sh SOURCE_DIR FILE all    a test flavour: every one (shows that the
#                                               check finds what it looks for)
set -u
source_dir="$1" file="$2" expect="$3"

mapfile -t points < <(
  find "$source_dir" \( -name build -o -name .deps -o -name .git \) -prune -o \
       -name '*.cpp' -print0 |
    xargs -0 grep -ohE 'hold_point\("[^"]+"\)' | sed -E 's/^hold_point\("(.*)"\)$/\1/' | sort -u)
if [ ${#points[@]} -eq 0 ]; then
  echo "no hold point found in the sources below $source_dir"; exit 1
fi

text="$( (strings -a -n 6 "$file"; strings -a -el -n 6 "$file") )"
fail=0
if [ "$expect" = none ] && grep -qF "hold point" <<<"$text"; then
  echo "holds 'hold point': $file"; fail=1
fi
for name in hold_point "${points[@]}"; do
  if grep -qF -- "$name" <<<"$text"; then
    [ "$expect" = none ] && { echo "holds '$name': $file"; fail=1; }
  else
    [ "$expect" = all ] && { echo "lacks '$name': $file"; fail=1; }
  fi
done
[ $fail -eq 0 ] && echo "ok: $file ($expect of ${#points[@]} hold points)"
exit $fail
