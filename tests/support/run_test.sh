#!/bin/sh
# Runs one test program for CTest: run_test.sh PROGRAM ARGS...
# GoogleTest keeps the file named by TEST_PREMATURE_EXIT_FILE while its tests run and removes it
# when they are done. A file left behind means the process ended in the middle of a test (an
# EndProgram, an exit), which must not pass because the status happened to be 0. Death tests
# run in children that leave the file alone.
dir=$(mktemp -d 2>/dev/null || mktemp -d -p /tmp) || exit 1
marker="$dir/premature-exit"
TEST_PREMATURE_EXIT_FILE="$marker" "$@"
status=$?
if [ -e "$marker" ] && [ "$status" -eq 0 ]; then
  echo "run_test.sh: the process ended with status 0 in the middle of a test" >&2
  status=1
fi
rm -rf "$dir"
exit "$status"
