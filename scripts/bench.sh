#!/usr/bin/env bash
# Builds the throughput benchmarks into build/bench and runs them on SQLite and on a throw-away
# PostgreSQL server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -q bench
. scripts/pg.sh
trap pg_stop EXIT
pg_start
QLNSALES_BENCH_PG="$QLNSALES_TEST_PG" build/bench/qlnsales_bench "$@"
