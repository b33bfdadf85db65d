#!/usr/bin/env bash
# Builds both targets and runs every test under Wine. Installs what it needs first.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash tools/bootstrap.sh || exit 1

jobs="${CORVANE_JOBS:-$(nproc)}"
# One test more than cores: a test waiting for a Wine process to start or for a service to stop
# leaves its core to the others.
test_jobs="${CORVANE_TEST_JOBS:-$((jobs + 1))}"
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

# The few tests of the x86_64 build (64-bit programs, no emulation) run beside those of the i686
# build, in one lane of their own; their output follows.
x86_64_out="$(mktemp)"
ctest --preset x86_64 -j 1 >"$x86_64_out" 2>&1 &
x86_64_pid=$!
i686_out="$(mktemp)"
echo "==== test i686"
ctest --preset i686 -j "$test_jobs" 2>&1 | tee "$i686_out"
i686_rc=${PIPESTATUS[0]}
wait "$x86_64_pid"
x86_64_rc=$?
echo "==== test x86_64"
cat "$x86_64_out"

for preset in i686 x86_64; do
  if [ "$preset" = i686 ]; then out="$i686_out" rc=$i686_rc; else out="$x86_64_out" rc=$x86_64_rc; fi
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
