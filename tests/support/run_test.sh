#!/bin/sh
# Runs one test program for CTest: run_test.sh PROGRAM ARGS...
# GoogleTest keeps the file named by TEST_PREMATURE_EXIT_FILE while its tests run and removes it
# when they are done. A file left behind means the process ended in the middle of a test (an
# EndProgram, an exit), which must not pass because the status happened to be 0. Death tests
# run in children that leave the file alone.

# scripts/ctest-gl hands each window test an X display of its own (CTest's "display" resource).
case "${CTEST_RESOURCE_GROUP_0_DISPLAY:-}" in
  id:[0-9]*) display="${CTEST_RESOURCE_GROUP_0_DISPLAY#id:}" && export DISPLAY=":${display%%,*}" ;;
esac
dir=$(mktemp -d 2>/dev/null || mktemp -d -p /tmp) || exit 1
marker="$dir/premature-exit"

# An X server resets when its last client leaves, and a program connecting during the reset
# loses its windows without noticing. With a display, one client stays connected while the test
# runs (its first answer shows it got through), so the programs the test starts one after
# another never meet a reset.
holder=
if [ -n "$DISPLAY" ] && command -v xdotool >/dev/null 2>&1; then
  for attempt in 1 2 3; do
    xdotool getmouselocation sleep 100000 >"$dir/holder" 2>/dev/null &
    holder=$!
    tries=0
    while [ ! -s "$dir/holder" ] && kill -0 "$holder" 2>/dev/null && [ "$tries" -lt 200 ]; do
      sleep 0.05
      tries=$((tries + 1))
    done
    [ -s "$dir/holder" ] && break
    kill "$holder" 2>/dev/null
    holder=
  done
fi
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; rm -rf "$dir"; exit 143' TERM INT

TEST_PREMATURE_EXIT_FILE="$marker" "$@"
status=$?
if [ -e "$marker" ] && [ "$status" -eq 0 ]; then
  echo "run_test.sh: the process ended with status 0 in the middle of a test" >&2
  status=1
fi
[ -n "$holder" ] && kill "$holder" 2>/dev/null
rm -rf "$dir"
exit "$status"
