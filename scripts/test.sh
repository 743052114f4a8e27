#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite on SQLite and on a throw-away
# PostgreSQL server. With CI=true it builds with warnings as errors and runs the suite once more
# under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

werror=OFF
[ "${CI:-}" = true ] && werror=ON

. scripts/pg.sh
trap pg_stop EXIT
pg_start

failed=0
run_suite() { # run_suite BUILD_DIR LABEL
  local dir=$1 label=$2
  echo "== $label: SQLite"
  (cd "$dir" && env -u QLNSALES_TEST_PG ctest --output-on-failure -j 2 --timeout 600) || failed=1
  echo "== $label: PostgreSQL"
  (cd "$dir" && ctest --output-on-failure -j 2 --timeout 600) || failed=1
}

scripts/build.sh build -DQLNSALES_WERROR=$werror -DQLNSALES_SANITIZE=OFF
run_suite build "tests"

if [ "${CI:-}" = true ]; then
  scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQLNSALES_WERROR=ON -DQLNSALES_SANITIZE=ON
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-asan "sanitized tests"
fi

exit $failed
