#!/usr/bin/env bash
# Installs what is missing, builds the test suite into build/tests, and runs it on SQLite and on
# a throw-away PostgreSQL server, then builds and runs the example host against the installed
# package. With CI=true it builds with warnings as errors and runs the suite once more from
# build/asan, under the address and undefined-behaviour sanitizers, and then fuzzes the automation
# protocol for a bounded time (scripts/fuzz.sh).
# A run in which no test ran has failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

. scripts/pg.sh
trap pg_stop EXIT
pg_start

failed=0
run_suite() { # run_suite BUILD_DIR LABEL
  local dir=$1 label=$2
  if [ ! -x "$dir/qlnsales_tests" ]; then
    echo "== $label: $dir/qlnsales_tests was not built" >&2
    failed=1
    return
  fi
  echo "== $label: SQLite"
  (cd "$dir" && env -u QLNSALES_TEST_PG ctest --no-tests=error --output-on-failure -j 2 --timeout 600) || failed=1
  echo "== $label: PostgreSQL"
  (cd "$dir" && ctest --no-tests=error --output-on-failure -j 2 --timeout 600) || failed=1
}

scripts/build.sh tests
run_suite build/tests "tests"
# The installed package, used by a host program of its own.
scripts/example.sh build/tests || failed=1

if [ "${CI:-}" = true ]; then
  scripts/build.sh asan
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build/asan "sanitized tests"
  echo "== fuzzing the automation protocol"
  scripts/fuzz.sh 60 || failed=1
fi

exit $failed
