#!/usr/bin/env bash
# Builds both targets and runs every test under Wine. Installs what it needs first.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash tools/bootstrap.sh || exit 1

jobs="${CORVANE_JOBS:-$(nproc)}"
summary=()
failed_total=0
passed_total=0
status=0

for preset in i686 x86_64; do
  echo "==== build $preset"
  if ! cmake --preset "$preset" >"build-$preset.configure.log" 2>&1; then
    cat "build-$preset.configure.log"; rm -f "build-$preset.configure.log"; exit 1
  fi
  rm -f "build-$preset.configure.log"
  cmake --build --preset "$preset" -j "$jobs" || exit 1
done

for preset in i686 x86_64; do
  echo "==== test $preset"
  out="$(mktemp)"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n 1)"
  if [ -n "$line" ]; then
    failed="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
    all="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")"
    failed_total=$((failed_total + failed))
    passed_total=$((passed_total + all - failed))
    summary+=("$preset: $((all - failed)) passed, $failed failed")
  else
    status=1
    summary+=("$preset: no test summary")
  fi
  rm -f "$out"
done

# No wineserver outlives the run.
for prefix in build/*/prefixes/*; do
  [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
done

printf '%s\n' "${summary[@]}"
echo "tests: $passed_total passed, $failed_total failed"
exit $status
