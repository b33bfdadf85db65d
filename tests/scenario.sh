# Shared by the end-to-end scenario scripts: sourced, never run. A scenario seeds the demo suite
# with demo_seed.exe, changes the machine from Linux (a planted link, say), runs Purgeline.exe and
# checks the result.
#   run PROGRAM ARGS...         a Windows program of the prefix, through tools/wine-run
#   begin_seeded_scenario       ends an earlier session and seeds the suite afresh; the seeded
#                               processes must still run when Purgeline starts, so the whole
#                               scenario is one Wine session, ended on exit
#   check DESCRIPTION TEST...   runs TEST; prints "ok: ..." or "FAIL: ..." and remembers a failure
#   finish                      exits 1 when a check failed, else 0
# The variables bin (the programs' folder) and c (the prefix's drive C:) are set. In a prefix of
# the test's own (CORVANE_OWN_PREFIX=1, tools/prefix.sh run), fresh and deleted after the test,
# there is nothing to stop before the seeding nor after the run: each 32-bit program started
# costs (under qemu), so none is started for that.
bin="$1"
c="$WINEPREFIX/drive_c"
failed=0
scenario_own_session="${CORVANE_OWN_SESSION:-0}"
scenario_own_prefix="${CORVANE_OWN_PREFIX:-0}"
export CORVANE_OWN_SESSION=0

run() { "$CORVANE_SOURCE_DIR/tools/wine-run" "$@"; }

end_session() {
  [ "$scenario_own_session" = 1 ] && "$CORVANE_SOURCE_DIR/tools/prefix.sh" kill "$WINEPREFIX"
  return 0
}

begin_seeded_scenario() {
  end_session
  [ "$scenario_own_prefix" = 1 ] || run "$bin/demo_seed.exe" --stop
  run "$bin/demo_seed.exe" || { echo "seeding failed"; exit 1; }
}

# The seeded processes and services go, then the session; `scenario_cleanup` (if the script
# defines it) removes what the script planted.
end_seeded_scenario() {
  [ "$scenario_own_prefix" = 1 ] || run "$bin/demo_seed.exe" --stop
  declare -F scenario_cleanup >/dev/null && scenario_cleanup
  end_session
}

check() {
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failed=1; fi
}

finish() { exit "$failed"; }
